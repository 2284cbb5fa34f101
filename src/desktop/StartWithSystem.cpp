#include "desktop/StartWithSystem.h"

#include "window/MainWindow.h"
#include "base/SettingsStore.h"
#include "desktop/Autostart.h"

#include <QCheckBox>

StartWithSystem::StartWithSystem(MainWindow& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.controls().startWithSystemBox, &QCheckBox::stateChanged, this, &StartWithSystem::storeStartWithSystem);
}

void StartWithSystem::restoreOption()
{
    m_form.controls().startWithSystemBox->setChecked(SettingsStore::ReadSetting(SettingsKeys::StartWithSystem) == QLatin1String("On"));
}

void StartWithSystem::storeStartWithSystem()
{
    // Restoring the box at start-up must not touch the registration.
    if (m_form.isLoading())
        return;
    if (m_form.controls().startWithSystemBox->isChecked()) {
        m_form.controls().startInTrayBox->setVisible(true);
        SettingsStore::WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("On"));
        Autostart::enable();
    } else {
        // Its own click stores "Minimized" = "Off" when it was checked.
        m_form.controls().startInTrayBox->setChecked(false);
        m_form.controls().startInTrayBox->setVisible(false);
        SettingsStore::WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("Off"));
        Autostart::disable();
    }
}
