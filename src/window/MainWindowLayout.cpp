#include "base/Twips.h"
#include "base/WindowTimer.h"
#include "desktop/TrayIcon.h"
#include "folders/FolderListView.h"
#include "window/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <limits>

namespace {

template<class Control> Control* place(Control* control, const char* name, int left, int top, int width, int height)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(TwipsRect(left, top, width, height));
    return control;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int l, int t, int w, int h)
{
    return place(new QPushButton(QString::fromLatin1(caption), parent), name, l, t, w, h);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, int l, int t, int w, int h)
{
    return place(new QCheckBox(QString::fromLatin1(caption), parent), name, l, t, w, h);
}

QGroupBox* frame(QWidget* parent, const char* name, const char* caption, int l, int t, int w, int h)
{
    return place(new QGroupBox(QString::fromLatin1(caption), parent), name, l, t, w, h);
}

QLineEdit* textBox(QWidget* parent, const char* name, int l, int t, int w, int h)
{
    auto* box = new QLineEdit(QStringLiteral("Text1"), parent);
    // The boxes have no length limit of their own: every character is stored.
    box->setMaxLength(std::numeric_limits<int>::max());
    return place(box, name, l, t, w, h);
}

} // namespace

void MainWindow::createControls()
{
    setObjectName(QStringLiteral("mainWindow"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(TwipsToPixels(15960), TwipsToPixels(7545));

    m_controls.statusFrame = frame(this, "statusFrame", "Next backup will occur in xx:xx:xx", 120, 60, 7800, 850);
    m_controls.progressBar = place(new QProgressBar(m_controls.statusFrame), "progressBar", 240, 300, 7320, 405);
    m_controls.progressBar->setRange(0, 100);
    m_controls.progressBar->setValue(0);
    m_controls.progressBar->setTextVisible(true);
    m_controls.progressBar->setAlignment(Qt::AlignCenter);
    m_controls.progressBar->setFormat(QStringLiteral("Progress Bar"));

    m_controls.folderList = place(new FolderListView(this), "folderList", 120, 1020, 7800, 2805);
    m_controls.folderList->setHeaderLabels({ QStringLiteral("Folder(s) To Zip And Backup") });
    m_controls.folderList->header()->resizeSection(0, TwipsToPixels(7000));

    m_controls.addFolderButton = button(this, "addFolderButton", "Add Folder", 120, 3910, 7800, 405);
    m_controls.clearListButton = button(this, "clearListButton", "Clear List", 120, 4420, 3840, 405);
    m_controls.loadSamplesButton
        = button(this, "loadSamplesButton", "Load Sample/Example Folders", 4080, 4420, 3840, 405);

    m_controls.optionsFrame = frame(this, "optionsFrame", "Options", 120, 4905, 7800, 1035);
    m_controls.startWithSystemBox = checkBox(m_controls.optionsFrame, "startWithSystemBox",
                                             "Load this software on Windows startup", 240, 300, 3690, 255);
    m_controls.startInTrayBox
        = checkBox(m_controls.optionsFrame, "startInTrayBox", "Start in system tray", 240, 645, 2100, 255);
    // The one place with room beside the described controls: with the options that act at start-up.
    m_controls.catchUpBox
        = checkBox(m_controls.optionsFrame, "catchUpBox", "Catch up on missed backups", 4380, 300, 3300, 255);
    m_controls.catchUpBox->setToolTip(
        QStringLiteral("At start-up and after sleep, a backup that fell due meanwhile runs within half a minute"));
    // The keyboard goes row by row, as the eye reads the frame.
    setTabOrder(m_controls.startWithSystemBox, m_controls.catchUpBox);
    setTabOrder(m_controls.catchUpBox, m_controls.startInTrayBox);

    m_controls.fileNameFrame = frame(this, "fileNameFrame", "Backup Filename (Prefix)", 120, 6020, 7800, 1425);
    m_controls.prefixEdit = textBox(m_controls.fileNameFrame, "prefixEdit", 240, 330, 7335, 345);
    m_controls.dateStampBox
        = checkBox(m_controls.fileNameFrame, "dateStampBox", "Add datestamp to backup", 240, 735, 4020, 255);
    m_controls.timeStampBox
        = checkBox(m_controls.fileNameFrame, "timeStampBox", "Add timestamp to backup", 240, 1020, 3690, 255);
    // One sentence over two lines, beside the stamp options.
    auto* keepLastLabel = place(new QLabel(QStringLiteral("Keep only the last"), m_controls.fileNameFrame),
                                "keepLastLabel", 4380, 735, 1380, 255);
    m_controls.keepLastBox = place(new QSpinBox(m_controls.fileNameFrame), "keepLastBox", 5820, 705, 780, 315);
    m_controls.keepLastBox->setRange(0, 999);
    // "Keep only the last 0 backups" would read as keeping none.
    m_controls.keepLastBox->setSpecialValueText(QStringLiteral("all"));
    m_controls.keepLastBox->setToolTip(QStringLiteral("0 (all) keeps every backup"));
    keepLastLabel->setBuddy(m_controls.keepLastBox);
    place(new QLabel(QStringLiteral("backups of each folder"), m_controls.fileNameFrame), "keepLastLabel2", 4380, 1020,
          3180, 255);

    m_controls.intervalList = place(new QTreeWidget(this), "intervalList", 8040, 120, 7800, 4410);
    m_controls.intervalList->setRootIsDecorated(false);
    m_controls.intervalList->setUniformRowHeights(true);
    m_controls.intervalList->setColumnCount(1);
    m_controls.intervalList->header()->setStretchLastSection(false);

    m_controls.backupFolderFrame
        = frame(this, "backupFolderFrame", "Save All Backups To This Folder", 8040, 4620, 7800, 1300);
    m_controls.backupFolderEdit = textBox(m_controls.backupFolderFrame, "backupFolderEdit", 240, 300, 6615, 345);
    m_controls.chooseBackupFolderButton
        = button(m_controls.backupFolderFrame, "chooseBackupFolderButton", "...", 6960, 300, 600, 345);
    m_controls.viewBackupFolderButton
        = button(m_controls.backupFolderFrame, "viewBackupFolderButton", "View This Folder", 240, 750, 7320, 405);

    m_controls.autoBackupButton
        = button(this, "autoBackupButton", "Turn On Auto Zip And Backup", 8040, 6030, 3840, 405);
    m_controls.backupNowButton = button(this, "backupNowButton", "Zip And Backup Now (Test)", 12000, 6030, 3840, 405);
    m_controls.viewHistoryButton = button(this, "viewHistoryButton", "View History Log", 8040, 6540, 3840, 405);
    m_controls.copyHistoryButton
        = button(this, "copyHistoryButton", "Copy History To Clipboard", 12000, 6540, 3840, 405);
    m_controls.helpButton = button(this, "helpButton", "Help", 8040, 7050, 3840, 405);
    m_controls.clearHistoryButton = button(this, "clearHistoryButton", "Clear History Log", 12000, 7050, 3840, 405);

    // Made last, so the keyboard reaches the other controls in their usual order first.
    m_controls.restoreButton
        = button(m_controls.optionsFrame, "restoreButton", "Restore Files...", 4380, 600, 3300, 375);

    m_controls.countdownTimer = new WindowTimer(this);
    m_controls.countdownTimer->setObjectName(QStringLiteral("countdownTimer"));
    m_controls.trayIcon = new TrayIcon(this);
    m_controls.trayIcon->setObjectName(QStringLiteral("trayIcon"));
}
