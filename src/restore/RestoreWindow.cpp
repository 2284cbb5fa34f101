#include "restore/RestoreWindow.h"

#include "backup/ArchiveName.h"
#include "backup/BackupChoices.h"
#include "backup/FolderArchives.h"
#include "backup/PathHelpers.h"
#include "base/NativePath.h"
#include "base/Prompter.h"
#include "folders/FolderPicker.h"
#include "restore/ArchiveTreeModel.h"
#include "restore/BackupCatalog.h"
#include "restore/RestorePath.h"
#include "restore/RestoreTask.h"
#include "restore/ShownText.h"
#include "restore/VersionListModel.h"
#include "zip/ZipExpand.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QtConcurrent>

namespace {

constexpr int ArchiveRole = Qt::UserRole;

void tell(const QString& text)
{
    Prompter::instance().show(text, ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::Information);
}

} // namespace

RestoreWindow::RestoreWindow(const BackupChoices& choices, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_choices(choices)
{
    createControls();
    const RestoreControls& c = m_controls;
    m_treeModel = new ArchiveTreeModel(this);
    m_resultModel = new VersionListModel(this);
    c.archiveTree->setModel(m_treeModel);
    c.searchResults->setModel(m_resultModel);
    m_task = new RestoreTask(this);
    m_searchDelay.setSingleShot(true);
    m_searchDelay.setInterval(200);
    m_progressTimer.setInterval(100);

    connect(c.folderList, &QListWidget::currentRowChanged, this, &RestoreWindow::loadFolder);
    connect(c.archiveList, &QTreeWidget::itemSelectionChanged, this, [this] {
        m_controls.searchBox->clear();
        showArchive();
    });
    // Typing waits for a pause; an emptied box shows the archive again at once.
    connect(c.searchBox, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty())
            search();
        else
            m_searchDelay.start();
    });
    connect(&m_searchDelay, &QTimer::timeout, this, &RestoreWindow::search);
    for (QTreeView* view : { c.archiveTree, c.searchResults })
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RestoreWindow::updateButtons);
    connect(c.toOtherFolder, &QRadioButton::toggled, this, &RestoreWindow::updateButtons);
    connect(c.chooseFolderButton, &QPushButton::clicked, this, &RestoreWindow::chooseFolder);
    connect(c.restoreButton, &QPushButton::clicked, this, &RestoreWindow::restoreSelected);
    connect(c.cancelButton, &QPushButton::clicked, m_task, &RestoreTask::cancel);
    connect(m_task, &RestoreTask::finished, this, &RestoreWindow::restoreEnded);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { m_controls.progressBar->setValue(m_task->permille()); });
    connect(&m_loading, &QFutureWatcher<void>::finished, this, &RestoreWindow::folderLoaded);
    updateButtons();
}

RestoreWindow::~RestoreWindow()
{
    m_stopLoading = true;
    m_loading.waitForFinished();
}

void RestoreWindow::bringForward()
{
    show();
    raise();
    activateWindow();
    refresh();
}

bool RestoreWindow::isBusy() const
{
    return m_task->isRunning() || m_loading.isRunning();
}

void RestoreWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The list and the backups may have changed while the user was elsewhere.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
}

void RestoreWindow::closeEvent(QCloseEvent* event)
{
    m_task->cancel();
    event->accept();
}

QString RestoreWindow::currentFolderPath() const
{
    const QListWidgetItem* item = m_controls.folderList->currentItem();
    return item ? FolderPathOf(item->text(), PathSeparator()) : QString();
}

QString RestoreWindow::catalogKey(int position) const
{
    return QStringList { m_choices.folderEntry(position), m_choices.backupFolder(), m_choices.prefix(),
                         QString::number(m_choices.dateStamped()), QString::number(m_choices.timeStamped()) }
        .join(u'\n');
}

void RestoreWindow::refresh()
{
    QStringList folders;
    for (int position = 1; position <= m_choices.folderCount(); ++position)
        folders.append(m_choices.folderEntry(position));
    QListWidget* list = m_controls.folderList;
    QStringList shown;
    for (int row = 0; row < list->count(); ++row)
        shown.append(list->item(row)->text());
    if (shown != folders) {
        const QString current = list->currentItem() ? list->currentItem()->text() : QString();
        const QSignalBlocker blocker(list);
        list->clear();
        list->addItems(folders);
        list->setCurrentRow(std::max<int>(0, static_cast<int>(folders.indexOf(current))));
    }
    loadFolder();
}

// Shows the chosen folder's catalog, reading off the window's thread what it does not hold yet.
void RestoreWindow::loadFolder()
{
    const int row = m_controls.folderList->currentRow();
    // The main window's list may have changed since this one was filled.
    if (row >= m_choices.folderCount()
        || (row >= 0 && m_choices.folderEntry(row + 1) != m_controls.folderList->item(row)->text()))
        return refresh();
    const QString key = row < 0 ? QString() : catalogKey(row + 1);
    if (m_loading.isRunning()) {
        // The load that runs makes way; its end starts this one.
        m_stopLoading = m_stopLoading || key != m_shownKey;
        return;
    }
    m_controls.toListedFolder->setText(QStringLiteral("To its place in %1").arg(currentFolderPath()));
    if (row < 0) {
        m_shown = nullptr;
        m_shownKey.clear();
        fillArchiveList();
        return;
    }
    const QStringList archives = ArchivesOfListedFolder(m_choices, row + 1);
    std::unique_ptr<BackupCatalog>& catalog = m_catalogs[key];
    if (!catalog)
        catalog = std::make_unique<BackupCatalog>();
    if (catalog->isCurrent(archives)) {
        if (m_shown != catalog.get()) {
            m_shown = catalog.get();
            m_shownKey = key;
            fillArchiveList();
        }
        return;
    }
    m_shown = nullptr;
    m_shownKey = key;
    m_treeModel->show(nullptr, -1);
    m_resultModel->show(nullptr, {});
    {
        // Reading the backups again keeps what the user searches for.
        const QSignalBlocker blocker(m_controls.archiveList);
        m_controls.archiveList->clear();
    }
    m_controls.statusLabel->setText(QStringLiteral("Reading %1 of %2...")
                                        .arg(ShownCount(archives.size(), "backup", "backups"), currentFolderPath()));
    m_stopLoading = false;
    const QByteArray root = NativePath(StoredName(currentFolderPath())) + '/';
    m_loading.setFuture(QtConcurrent::run([this, target = catalog.get(), archives, root] {
        target->update(archives, root, [this] { return m_stopLoading.load(); });
    }));
    updateButtons();
}

void RestoreWindow::folderLoaded()
{
    if (m_stopLoading) {
        m_stopLoading = false;
        loadFolder();
        return;
    }
    m_shown = m_catalogs[m_shownKey].get();
    fillArchiveList();
}

void RestoreWindow::fillArchiveList()
{
    QTreeWidget* list = m_controls.archiveList;
    {
        const QSignalBlocker blocker(list);
        list->clear();
        const std::vector<BackupCatalog::Archive> none;
        const std::vector<BackupCatalog::Archive>& archives = m_shown ? m_shown->archives() : none;
        for (std::size_t i = 0; i < archives.size(); ++i) {
            const BackupCatalog::Archive& archive = archives[i];
            auto* item = new QTreeWidgetItem(list);
            item->setText(MadeColumn, QLocale().toString(archive.modified, QLocale::ShortFormat));
            item->setText(FilesColumn, archive.problem.isEmpty() ? QLocale().toString(archive.files) : archive.problem);
            item->setText(SizeColumn, ShownSize(static_cast<std::uint64_t>(archive.bytes)));
            item->setText(BackupColumn, QFileInfo(archive.path).fileName());
            item->setData(0, ArchiveRole, static_cast<int>(i));
            item->setTextAlignment(FilesColumn, Qt::AlignRight | Qt::AlignVCenter);
            item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        }
        for (const int column : { MadeColumn, FilesColumn, SizeColumn })
            list->resizeColumnToContents(column);
        if (list->topLevelItemCount() > 0)
            list->setCurrentItem(list->topLevelItem(0));
    }
    m_controls.statusLabel->setText(
        m_shown ? QStringLiteral("%1 of %2.")
                      .arg(ShownCount(list->topLevelItemCount(), "backup", "backups"), currentFolderPath())
                : QString());
    showArchive();
    search();
}

void RestoreWindow::showArchive()
{
    const QTreeWidgetItem* item = m_controls.archiveList->currentItem();
    m_treeModel->show(m_shown, item ? item->data(0, ArchiveRole).toInt() : -1);
    for (const int column : { ArchiveTreeModel::NameColumn, ArchiveTreeModel::SizeColumn })
        m_controls.archiveTree->resizeColumnToContents(column);
    updateButtons();
}

void RestoreWindow::search()
{
    const QString part = m_controls.searchBox->text().trimmed();
    if (part.isEmpty() || !m_shown) {
        m_resultModel->show(nullptr, {});
        m_controls.views->setCurrentWidget(m_controls.archiveTree);
    } else {
        m_resultModel->show(m_shown, m_shown->search(part));
        m_controls.views->setCurrentWidget(m_controls.searchResults);
        for (const int column :
             { VersionListModel::PathColumn, VersionListModel::SizeColumn, VersionListModel::ModifiedColumn })
            m_controls.searchResults->resizeColumnToContents(column);
        m_controls.statusLabel->setText(
            QStringLiteral("%1 found.").arg(ShownCount(m_resultModel->rowCount(), "version", "versions")));
    }
    updateButtons();
}

void RestoreWindow::chooseFolder()
{
    const QString folder
        = PickFolder(this, QStringLiteral("Choose the folder to restore into"), m_controls.otherFolderEdit->text());
    if (folder.isEmpty())
        return;
    m_controls.otherFolderEdit->setText(folder);
    m_controls.toOtherFolder->setChecked(true);
}

bool RestoreWindow::buildRequest(RestoreRequest& request)
{
    const RestoreControls& c = m_controls;
    const QString folderPath = currentFolderPath();
    const bool toPlace = c.toListedFolder->isChecked();
    request.folderName = LastPathPart(folderPath, PathSeparator());
    request.target = toPlace ? folderPath : c.otherFolderEdit->text().trimmed();
    if (!QDir::isAbsolutePath(request.target)) {
        tell(QStringLiteral("Choose the folder to restore into."));
        return false;
    }
    std::map<int, std::size_t> sources; // by archive
    const auto add = [&](int archive, std::uint32_t id, const QByteArray& belowChoice) {
        const auto [found, added] = sources.try_emplace(archive, request.sources.size());
        if (added)
            request.sources.push_back({ m_shown->archives()[static_cast<std::size_t>(archive)].path, {} });
        const QByteArray& path = m_shown->path(m_shown->version(id).path);
        request.sources[found->second].items.push_back(
            { m_shown->archives()[static_cast<std::size_t>(archive)].root + path, toPlace ? path : belowChoice });
    };
    if (c.views->currentWidget() == c.searchResults) {
        QSet<std::uint32_t> paths;
        for (const QModelIndex& row : c.searchResults->selectionModel()->selectedRows()) {
            const std::uint32_t id = m_resultModel->versionAt(row.row());
            const BackupCatalog::Version& version = m_shown->version(id);
            if (paths.contains(version.path)) {
                tell(QStringLiteral("Choose one version of each file."));
                return false;
            }
            paths.insert(version.path);
            add(version.newest, id, LastPart(m_shown->path(version.path)));
        }
    } else {
        if (!c.archiveList->currentItem())
            return false;
        const int archive = c.archiveList->currentItem()->data(0, ArchiveRole).toInt();
        for (const auto& [id, below] : m_treeModel->versionsUnder(c.archiveTree->selectionModel()->selectedRows()))
            add(archive, id, below);
    }
    return !request.sources.empty();
}

void RestoreWindow::restoreSelected()
{
    RestoreRequest request;
    if (!m_shown || m_task->isRunning() || !buildRequest(request))
        return;
    m_controls.progressBar->setValue(0);
    m_controls.statusLabel->setText(QStringLiteral("Restoring to %1...").arg(request.target));
    m_task->start(std::move(request));
    m_progressTimer.start();
    updateButtons();
}

void RestoreWindow::restoreEnded(const QString& report, bool trouble)
{
    m_progressTimer.stop();
    m_controls.progressBar->setValue(trouble ? m_controls.progressBar->value() : m_controls.progressBar->maximum());
    m_controls.statusLabel->setText(report.section(u'\n', 0, 0));
    updateButtons();
    if (trouble && isVisible())
        Prompter::instance().show(report, ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::Warning);
}

void RestoreWindow::updateButtons()
{
    const RestoreControls& c = m_controls;
    const auto* view = qobject_cast<const QTreeView*>(c.views->currentWidget());
    const bool chosen = view && view->selectionModel()->hasSelection();
    c.restoreButton->setEnabled(m_shown && chosen && !m_task->isRunning() && !m_loading.isRunning());
    c.cancelButton->setEnabled(m_task->isRunning());
    c.otherFolderEdit->setEnabled(c.toOtherFolder->isChecked());
}
