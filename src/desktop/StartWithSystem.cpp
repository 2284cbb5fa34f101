#include "desktop/StartWithSystem.h"

#include "base/SettingsStore.h"
#include "desktop/Autostart.h"

#include <QCheckBox>

StartWithSystem::StartWithSystem(QCheckBox* startWithSystemBox, QCheckBox* startInTrayBox,
                                 std::function<bool()> isStartingUp, QObject* parent)
    : QObject(parent)
    , m_startWithSystemBox(startWithSystemBox)
    , m_startInTrayBox(startInTrayBox)
    , m_isStartingUp(std::move(isStartingUp))
{
    connect(m_startWithSystemBox, &QCheckBox::stateChanged, this, &StartWithSystem::storeStartWithSystem);
}

void StartWithSystem::restoreOption()
{
    m_startWithSystemBox->setChecked(SettingsStore::ReadSetting(SettingsKeys::StartWithSystem) == QLatin1String("On"));
}

void StartWithSystem::storeStartWithSystem()
{
    // Restoring the box at start-up must not touch the registration.
    if (m_isStartingUp())
        return;
    if (m_startWithSystemBox->isChecked()) {
        m_startInTrayBox->setVisible(true);
        SettingsStore::WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("On"));
        Autostart::Enable();
    } else {
        // Its own click stores "Minimized" = "Off" when it was checked.
        m_startInTrayBox->setChecked(false);
        m_startInTrayBox->setVisible(false);
        SettingsStore::WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("Off"));
        Autostart::Disable();
    }
}
