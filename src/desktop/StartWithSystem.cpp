#include "desktop/StartWithSystem.h"

#include "app/Form1.h"
#include "app/SettingsStore.h"
#include "desktop/mStartUp.h"

#include <QCheckBox>

StartWithSystem::StartWithSystem(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.Check4, &QCheckBox::stateChanged, this, &StartWithSystem::Check4_Click);
}

void StartWithSystem::restoreOption()
{
    m_form.Check4->setChecked(SettingsStore::ReadSetting(SettingsKeys::WindowsStartup) == QLatin1String("On"));
}

void StartWithSystem::Check4_Click()
{
    // Restoring the box at start-up must not touch the registration.
    if (m_form.IsLoading)
        return;
    if (m_form.Check4->isChecked()) {
        m_form.Check8->setVisible(true);
        SettingsStore::WriteSetting(SettingsKeys::WindowsStartup, QStringLiteral("On"));
        mStartUp::EnableStartWithWindows();
    } else {
        // Its own click stores "Minimized" = "Off" when it was checked.
        m_form.Check8->setChecked(false);
        m_form.Check8->setVisible(false);
        SettingsStore::WriteSetting(SettingsKeys::WindowsStartup, QStringLiteral("Off"));
        mStartUp::DisableStartWithWindows();
    }
}
