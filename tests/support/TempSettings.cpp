#include "support/TempSettings.h"

#include "base/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>

TempSettings::TempSettings()
{
    QDir().mkpath(configHome());
    QDir().mkpath(tempFolder());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("TEMP", tempFolder().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
    clear();
}

QString TempSettings::storeFile() const
{
    return SettingsStore::StoreFilePath();
}

void TempSettings::clear()
{
    QFile::remove(storeFile());
}

QStringList TempSettings::storedKeys() const
{
    QSettings onDisk(storeFile(), QSettings::IniFormat);
    return onDisk.allKeys();
}
