#pragma once

#include <QObject>

class FolderListView;
class QLineEdit;
class QPushButton;
class QWidget;
class WindowPointer;

// The buttons around the folder list: "Add Folder", "Clear List", "Load Sample/Example Folders"
// and the "..." picker of the backup folder. Also tells the list when the window is busy.
class FolderButtons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderButtons)
public:
    struct Controls
    {
        FolderListView* folderList = nullptr;
        QPushButton* addFolderButton = nullptr;
        QPushButton* clearListButton = nullptr;
        QPushButton* loadSamplesButton = nullptr;
        QLineEdit* backupFolderEdit = nullptr;
        QPushButton* chooseBackupFolderButton = nullptr;
    };

    // The folder pickers open over the window; the pointer is the window's.
    FolderButtons(QWidget& window, WindowPointer& pointer, const Controls& controls);

    void addFolder();
    void chooseBackupFolder();
    void clearList();
    void loadSamples();

private:
    QWidget& m_window;
    WindowPointer& m_pointer;
    FolderListView* m_folderList;
    QLineEdit* m_backupFolderEdit;
};

// The question the sample loader asks after it has filled the list.
inline constexpr auto OpenSamplesQuestion
    = "Would you like this software to open the folder where these sample files are stored (so that you can view "
      "them before working with them)?";
