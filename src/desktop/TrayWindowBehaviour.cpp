#include "desktop/TrayWindowBehaviour.h"

#include "app/Form1.h"
#include "app/SettingsStore.h"

#include <QCheckBox>

TrayWindowBehaviour::TrayWindowBehaviour(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.Check8, &QCheckBox::stateChanged, this, [](int state) {
        SettingsStore::WriteSetting(SettingsKeys::Minimized,
                                    state == Qt::Checked ? QStringLiteral("On") : QStringLiteral("Off"));
    });
}

void TrayWindowBehaviour::applyStartInTray()
{
    m_form.Check8->setChecked(SettingsStore::ReadSetting(SettingsKeys::Minimized) == QLatin1String("On"));
    if (m_form.Check8->isChecked())
        m_form.setWindowState(m_form.windowState() | Qt::WindowMinimized);
}

void TrayWindowBehaviour::windowStateChanged() { }
