#pragma once

#include <QObject>

class MainWindow;

// The buttons around the folder list: "Add Folder", "Clear List", "Load Sample/Example Folders"
// and the "..." picker of the backup folder. Also tells the list when the window is busy.
class FolderButtons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderButtons)
public:
    explicit FolderButtons(MainWindow& form);

    void addFolder();
    void chooseBackupFolder();
    void clearList();
    void loadSamples();

private:
    MainWindow& m_form;
};

// The question the sample loader asks after it has filled the list.
inline constexpr auto OpenSamplesQuestion
    = "Would you like this software to open the folder where these sample files are stored (so that you can view "
      "them before working with them)?";
