#pragma once

#include <QFutureWatcher>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <map>
#include <memory>

class ArchiveTreeModel;
class BackupCatalog;
class BackupChoices;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeView;
class QTreeWidget;
class RestoreTask;
struct RestoreRequest;
class VersionListModel;

// The controls of the restore window, for the code that wires them and for tests.
struct RestoreControls
{
    QListWidget* folderList = nullptr; // the listed folders
    QTreeWidget* archiveList = nullptr; // the chosen folder's archives, newest first
    QLineEdit* searchBox = nullptr;
    QStackedWidget* views = nullptr; // the archive's tree, or what the search found
    QTreeView* archiveTree = nullptr;
    QTreeView* searchResults = nullptr;
    QRadioButton* toListedFolder = nullptr;
    QRadioButton* toOtherFolder = nullptr;
    QLineEdit* otherFolderEdit = nullptr;
    QPushButton* chooseFolderButton = nullptr;
    QPushButton* restoreButton = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* statusLabel = nullptr;
};

// The restore window: find a file in any backup of a listed folder, pick a version and get it
// back, into its place or into another folder. It is not modal; the archives are read and the
// files restored off its thread, so it never freezes.
class RestoreWindow final : public QWidget
{
    Q_OBJECT
public:
    // The columns of the archive list.
    enum ArchiveColumn
    {
        MadeColumn,
        FilesColumn,
        SizeColumn,
        BackupColumn
    };

    RestoreWindow(const BackupChoices& choices, QWidget* parent = nullptr);
    ~RestoreWindow() override;

    // Shows the window in front, with the folder list and the backups read afresh.
    void bringForward();

    const RestoreControls& controls() const { return m_controls; }
    // True while a folder's backups are being read or files restored.
    bool isBusy() const;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void refresh();
    void loadFolder();
    void folderLoaded();
    void fillArchiveList();
    void showArchive();
    void search();
    void chooseFolder();
    void restoreSelected();
    bool buildRequest(RestoreRequest& request);
    void restoreEnded(const QString& report, bool trouble);
    void updateButtons();
    QString currentFolderPath() const;
    QString catalogKey(int position) const;

    const BackupChoices& m_choices;
    RestoreControls m_controls;
    ArchiveTreeModel* m_treeModel = nullptr;
    VersionListModel* m_resultModel = nullptr;
    RestoreTask* m_task = nullptr;
    QTimer m_searchDelay;
    QTimer m_progressTimer;
    std::map<QString, std::unique_ptr<BackupCatalog>> m_catalogs; // by folder and naming
    BackupCatalog* m_shown = nullptr; // the catalog on screen, when no load is running
    QString m_shownKey;
    QFutureWatcher<void> m_loading;
    std::atomic<bool> m_stopLoading { false };
};
