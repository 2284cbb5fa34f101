#pragma once

#include <QTreeWidget>

// The user's ordered list of folders to back up (ListView1): one column, entries exactly as
// received, duplicates allowed.
class FolderListView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit FolderListView(QWidget* parent = nullptr);

    void AppendEntry(const QString& path);
    int EntryCount() const;
    // The entry at a 1-based position; raises "Index out of bounds" past the end.
    QString EntryText(int position) const;
    QStringList Entries() const;
    QString EncodeFolders() const;
    void DecodeFolders(const QString& value);
};
