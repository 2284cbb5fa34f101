#pragma once

#include <QObject>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The backup folder, the archive name prefix, the two stamp options and the number of backups kept:
// every change of these controls is written to the settings store at once, typed, pasted, chosen or
// restored. The two text boxes select their whole text when they get the focus; "View This Folder"
// opens the backup folder.
class DestinationOptions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DestinationOptions)
public:
    struct Controls
    {
        QLineEdit* backupFolderEdit = nullptr;
        QLineEdit* prefixEdit = nullptr;
        QCheckBox* dateStampBox = nullptr;
        QCheckBox* timeStampBox = nullptr;
        QSpinBox* keepLastBox = nullptr;
        QPushButton* viewBackupFolderButton = nullptr;
    };

    DestinationOptions(const Controls& controls, QObject* parent);

    void viewBackupFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_backupFolderEdit;
};
