#include "folders/DestinationOptions.h"

#include "app/CheckState.h"
#include "app/ErrorTrap.h"
#include "app/Form1.h"
#include "app/Launcher.h"
#include "app/SettingsStore.h"
#include "app/RoutineNames.h"

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

DestinationOptions::DestinationOptions(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.Text5, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::Path, text); });
    connect(m_form.Text1, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::Text1, text); });
    storeStateOnChange(m_form.Check1, SettingsKeys::Check1, this);
    storeStateOnChange(m_form.Check2, SettingsKeys::Check2, this);
    connect(m_form.KeepLastBox, &QSpinBox::valueChanged, this,
            [](int keep) { SettingsStore::WriteSetting(SettingsKeys::KeepLast, QString::number(keep)); });
    m_form.Text5->installEventFilter(this);
    m_form.Text1->installEventFilter(this);
    connect(m_form.PushButton2, &QPushButton::clicked, this, &DestinationOptions::PushButton2_Click);
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
void DestinationOptions::PushButton2_Click()
{
    ErrorTrap trap(Routine::ViewBackupFolder);
    trap.line(10, [&] {
        const QString text = m_form.Text5->text();
        Launcher::instance().openPath(text.isEmpty() ? QDir::homePath() : QDir::home().absoluteFilePath(text));
    });
}
