#include "folders/DestinationOptions.h"

#include "backup/BackupDisk.h"
#include "base/CheckState.h"
#include "base/ErrorTrap.h"
#include "base/Launcher.h"
#include "base/RoutineNames.h"
#include "base/SettingsStore.h"

#include <QCheckBox>
#include <QDir>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

void storeStateOnChange(QCheckBox* box, const SettingsKeys::Key& key, QObject* context)
{
    QObject::connect(box, &QCheckBox::stateChanged, context, [box, key](int state) {
        // A grey state restored from the store stays until the user clicks the box; from then on
        // the clicks only ever give 0 or 1.
        if (state != Qt::PartiallyChecked)
            box->setTristate(false);
        SettingsStore::WriteSetting(key, QString::number(CheckValue(Qt::CheckState(state))));
    });
}

} // namespace

DestinationOptions::DestinationOptions(const Controls& controls, QObject* parent)
    : QObject(parent)
    , m_backupFolderEdit(controls.backupFolderEdit)
{
    connect(controls.backupFolderEdit, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::BackupFolder, text); });
    // A backup folder the user typed is taken on whatever disk it is when the next run writes there.
    connect(controls.backupFolderEdit, &QLineEdit::textEdited, this, [] { BackupDisk::Forget(); });
    connect(controls.prefixEdit, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::Prefix, text); });
    storeStateOnChange(controls.dateStampBox, SettingsKeys::DateStamp, this);
    storeStateOnChange(controls.timeStampBox, SettingsKeys::TimeStamp, this);
    connect(controls.keepLastBox, &QSpinBox::valueChanged, this,
            [](int keep) { SettingsStore::WriteSetting(SettingsKeys::KeepLast, QString::number(keep)); });
    controls.backupFolderEdit->installEventFilter(this);
    controls.prefixEdit->installEventFilter(this);
    connect(controls.viewBackupFolderButton, &QPushButton::clicked, this, &DestinationOptions::viewBackupFolder);
}

bool DestinationOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* box = qobject_cast<QLineEdit*>(watched);
        // Coming back from a menu or another window is not a new visit to the box.
        if (box && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            // After the click that brought the focus has placed the cursor, so typing replaces the text.
            QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

// "View This Folder": the backup folder as the box holds it, unchecked; the desktop reports a
// folder that does not exist. An empty box opens the file browser's own starting place, the home
// folder, and relative text is read from there, never from the program's working folder.
void DestinationOptions::viewBackupFolder()
{
    ErrorTrap trap(Routine::ViewBackupFolder);
    trap.line(10, [&] {
        const QString text = m_backupFolderEdit->text();
        Launcher::instance().openPath(text.isEmpty() ? QDir::homePath() : QDir::home().absoluteFilePath(text));
    });
}
