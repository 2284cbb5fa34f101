#include "folders/FolderListView.h"

#include "app/AppError.h"
#include "app/Twips.h"
#include "folders/FoldersValue.h"

#include <QHeaderView>

FolderListView::FolderListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    setToolTip(QStringLiteral("Drag and drop files here. Double-click item to remove it. "
                              "Move | line to right and out of window to reveal full names."));
}

void FolderListView::AppendEntry(const QString& path) { addTopLevelItem(new QTreeWidgetItem(QStringList{path})); }

int FolderListView::EntryCount() const { return topLevelItemCount(); }

QString FolderListView::EntryText(int position) const
{
    const QTreeWidgetItem* row = topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(QStringLiteral("ListView1.ListItems"));
    return row->text(0);
}

QStringList FolderListView::Entries() const
{
    QStringList entries;
    for (int i = 1; i <= EntryCount(); ++i)
        entries.append(EntryText(i));
    return entries;
}

QString FolderListView::EncodeFolders() const { return ::EncodeFolders(Entries()); }

void FolderListView::DecodeFolders(const QString& value)
{
    for (const QString& entry : ::DecodeFolders(value))
        AppendEntry(entry);
}
