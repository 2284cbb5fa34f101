#pragma once

#include <QObject>

class MainWindow;

// The backup folder, the archive name prefix, the two stamp options and the number of backups kept:
// every change of these controls is written to the settings store at once, typed, pasted, chosen or
// restored. The two text boxes select their whole text when they get the focus; "View This Folder"
// opens the backup folder.
class DestinationOptions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DestinationOptions)
public:
    explicit DestinationOptions(MainWindow& form);

    void viewBackupFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& m_form;
};
