#include "base/SettingsStore.h"

#include <QJsonDocument>
#include <QSettings>
#include <QStringList>

namespace SettingsStore {
namespace {

QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quarnell"),
                     QStringLiteral("Tessaly"));
}

QString keyName(const SettingsKeys::Key& key)
{
    return QString::fromLatin1(key.name);
}

} // namespace

QString ReadSetting(const QString& key, const QString& fallback)
{
    const QSettings store = openStore();
    if (!store.contains(key))
        return fallback;
    const QVariant value = store.value(key);
    // A hand-edited file may hold an unquoted "a, b", which the file format reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

QString ReadSetting(const QString& key, int fallback)
{
    return ReadSetting(key, QString::number(fallback));
}

QString ReadSetting(const SettingsKeys::Key& key)
{
    return ReadSetting(keyName(key), QString::fromLatin1(key.fallback ? key.fallback : ""));
}

void WriteSetting(const QString& key, const QString& text)
{
    QSettings store = openStore();
    store.setValue(key, text);
    store.sync();
}

void WriteSetting(const SettingsKeys::Key& key, const QString& text)
{
    WriteSetting(keyName(key), text);
}

QJsonObject ReadRecord(const SettingsKeys::Key& key)
{
    return QJsonDocument::fromJson(ReadSetting(key).toUtf8()).object();
}

void WriteRecord(const SettingsKeys::Key& key, const QJsonObject& record)
{
    WriteSetting(key, QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)));
}

QString StoreFilePath()
{
    return openStore().fileName();
}

} // namespace SettingsStore
