#include "app/Form1.h"

#include "app/Twips.h"
#include "app/WindowTimer.h"
#include "desktop/cSysTray.h"
#include "folders/FolderListView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(TwipsToPixels(15960), TwipsToPixels(7545));

    Frame1 = frame(this, "Frame1", "Next backup will occur in xx:xx:xx", 120, 60, 7800, 850);
    ProgressBar1 = place(new QProgressBar(Frame1), "ProgressBar1", 240, 300, 7320, 405);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));

    ListView1 = place(new FolderListView(this), "ListView1", 120, 1020, 7800, 2805);
    ListView1->setHeaderLabels({QStringLiteral("Folder(s) To Zip And Backup")});
    ListView1->header()->resizeSection(0, TwipsToPixels(7000));

    PushButton7 = button(this, "PushButton7", "Add Folder", 120, 3910, 7800, 405);
    PushButton8 = button(this, "PushButton8", "Clear List", 120, 4420, 3840, 405);
    PushButton9 = button(this, "PushButton9", "Load Sample/Example Folders", 4080, 4420, 3840, 405);

    Frame3 = frame(this, "Frame3", "Options", 120, 4905, 7800, 1035);
    Check4 = checkBox(Frame3, "Check4", "Load this software on Windows startup", 240, 300, 3690, 255);
    Check8 = checkBox(Frame3, "Check8", "Start in system tray", 240, 645, 2100, 255);

    Frame4 = frame(this, "Frame4", "Backup Filename (Prefix)", 120, 6020, 7800, 1425);
    Text1 = textBox(Frame4, "Text1", 240, 330, 7335, 345);
    Check1 = checkBox(Frame4, "Check1", "Add datestamp to backup", 240, 735, 4020, 255);
    Check2 = checkBox(Frame4, "Check2", "Add timestamp to backup", 240, 1020, 3690, 255);
    // One sentence over two lines, beside the stamp options.
    auto* keepLastLabel
        = place(new QLabel(QStringLiteral("Keep only the last"), Frame4), "KeepLastLabel", 4380, 735, 1380, 255);
    KeepLastBox = place(new QSpinBox(Frame4), "KeepLastBox", 5820, 705, 780, 315);
    KeepLastBox->setRange(0, 999);
    // "Keep only the last 0 backups" would read as keeping none.
    KeepLastBox->setSpecialValueText(QStringLiteral("all"));
    KeepLastBox->setToolTip(QStringLiteral("0 (all) keeps every backup"));
    keepLastLabel->setBuddy(KeepLastBox);
    place(new QLabel(QStringLiteral("backups of each folder"), Frame4), "KeepLastLabel2", 4380, 1020, 3180, 255);

    ListView2 = place(new QTreeWidget(this), "ListView2", 8040, 120, 7800, 4410);
    ListView2->setRootIsDecorated(false);
    ListView2->setUniformRowHeights(true);
    ListView2->setColumnCount(1);
    ListView2->header()->setStretchLastSection(false);

    Frame2 = frame(this, "Frame2", "Save All Backups To This Folder", 8040, 4620, 7800, 1300);
    Text5 = textBox(Frame2, "Text5", 240, 300, 6615, 345);
    PushButton1 = button(Frame2, "PushButton1", "...", 6960, 300, 600, 345);
    PushButton2 = button(Frame2, "PushButton2", "View This Folder", 240, 750, 7320, 405);

    PushButton5 = button(this, "PushButton5", "Turn On Auto Zip And Backup", 8040, 6030, 3840, 405);
    PushButton6 = button(this, "PushButton6", "Zip And Backup Now (Test)", 12000, 6030, 3840, 405);
    PushButton3 = button(this, "PushButton3", "View History Log", 8040, 6540, 3840, 405);
    PushButton4 = button(this, "PushButton4", "Copy History To Clipboard", 12000, 6540, 3840, 405);
    PushButton11 = button(this, "PushButton11", "Help", 8040, 7050, 3840, 405);
    PushButton12 = button(this, "PushButton12", "Clear History Log", 12000, 7050, 3840, 405);

    // Only a buffer for copying the log to the clipboard, below the visible area.
    RichTextBox1 = place(new QPlainTextEdit(this), "RichTextBox1", 120, 8910, 615, 495);
    // Out of sight, so it must never hold the keyboard focus either.
    RichTextBox1->setFocusPolicy(Qt::NoFocus);

    Timer1 = new WindowTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    cSysTray1 = new cSysTray(this);
    cSysTray1->setObjectName(QStringLiteral("cSysTray1"));
}
