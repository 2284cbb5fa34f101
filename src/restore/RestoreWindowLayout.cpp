#include "restore/RestoreWindow.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>

namespace {

template<class Control> Control* named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

QTreeView* fileView(const char* name, bool tree)
{
    auto* view = named(new QTreeView, name);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setUniformRowHeights(true);
    view->setRootIsDecorated(tree);
    view->setAllColumnsShowFocus(true);
    return view;
}

} // namespace

void RestoreWindow::createControls()
{
    setObjectName(QStringLiteral("restoreWindow"));
    setWindowTitle(QStringLiteral("Restore Files - Tessaly"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessaly.png")));
    RestoreControls& c = m_controls;

    c.folderList = named(new QListWidget, "folderList");
    c.archiveList = named(new QTreeWidget, "archiveList");
    c.archiveList->setRootIsDecorated(false);
    c.archiveList->setUniformRowHeights(true);
    c.archiveList->setHeaderLabels(
        { QStringLiteral("Made"), QStringLiteral("Files"), QStringLiteral("Size"), QStringLiteral("Backup") });
    auto* folderLabel = new QLabel(QStringLiteral("&Folders"));
    folderLabel->setBuddy(c.folderList);
    auto* archiveLabel = new QLabel(QStringLiteral("&Backups of this folder, newest first"));
    archiveLabel->setBuddy(c.archiveList);
    auto* left = new QWidget;
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->addWidget(folderLabel);
    leftColumn->addWidget(c.folderList, 1);
    leftColumn->addWidget(archiveLabel);
    leftColumn->addWidget(c.archiveList, 3);

    c.searchBox = named(new QLineEdit, "searchBox");
    c.searchBox->setPlaceholderText(QStringLiteral("Search every backup of this folder for a file name"));
    c.searchBox->setClearButtonEnabled(true);
    c.archiveTree = fileView("archiveTree", true);
    c.searchResults = fileView("searchResults", false);
    c.views = named(new QStackedWidget, "views");
    c.views->addWidget(c.archiveTree);
    c.views->addWidget(c.searchResults);

    auto* destination = named(new QGroupBox(QStringLiteral("Restore the chosen files and folders")), "destination");
    c.toListedFolder = named(new QRadioButton(QStringLiteral("To its place")), "toListedFolder");
    c.toListedFolder->setChecked(true);
    c.toOtherFolder = named(new QRadioButton(QStringLiteral("To this folder:")), "toOtherFolder");
    c.otherFolderEdit = named(new QLineEdit, "otherFolderEdit");
    c.chooseFolderButton = named(new QPushButton(QStringLiteral("...")), "chooseFolderButton");
    auto* destinationGrid = new QGridLayout(destination);
    destinationGrid->addWidget(c.toListedFolder, 0, 0, 1, 3);
    destinationGrid->addWidget(c.toOtherFolder, 1, 0);
    destinationGrid->addWidget(c.otherFolderEdit, 1, 1);
    destinationGrid->addWidget(c.chooseFolderButton, 1, 2);
    destinationGrid->setColumnStretch(1, 1);

    c.restoreButton = named(new QPushButton(QStringLiteral("&Restore")), "restoreButton");
    c.progressBar = named(new QProgressBar, "progressBar");
    c.progressBar->setRange(0, 1000);
    c.progressBar->setValue(0);
    c.progressBar->setTextVisible(true);
    c.cancelButton = named(new QPushButton(QStringLiteral("Cancel")), "cancelButton");
    auto* actions = new QHBoxLayout;
    actions->addWidget(c.restoreButton);
    actions->addWidget(c.progressBar, 1);
    actions->addWidget(c.cancelButton);

    auto* right = new QWidget;
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->addWidget(c.searchBox);
    rightColumn->addWidget(c.views, 1);
    rightColumn->addWidget(destination);
    rightColumn->addLayout(actions);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 430, 610 });
    c.statusLabel = named(new QLabel, "statusLabel");
    auto* window = new QVBoxLayout(this);
    window->addWidget(splitter, 1);
    window->addWidget(c.statusLabel);
    resize(1040, 640);
}
