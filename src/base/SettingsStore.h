#pragma once

#include "base/SettingsKeys.h"

#include <QJsonObject>
#include <QString>

// The per-user store of named text values. Every write reaches the disk before it returns,
// so the store stays current even if the process is killed.
namespace SettingsStore {

// The stored text of the key; the default when the key is absent. A key stored empty gives "".
QString ReadSetting(const QString& key, const QString& fallback = {});
QString ReadSetting(const QString& key, int fallback);
QString ReadSetting(const SettingsKeys::Key& key);

void WriteSetting(const QString& key, const QString& text);
void WriteSetting(const SettingsKeys::Key& key, const QString& text);

// A record of the program's own kept as JSON text; an absent or unreadable value reads as empty.
QJsonObject ReadRecord(const SettingsKeys::Key& key);
void WriteRecord(const SettingsKeys::Key& key, const QJsonObject& record);

// Where the store lives, for the user and for tests.
QString StoreFilePath();

} // namespace SettingsStore
