#pragma once

#include <QString>
#include <QTemporaryDir>

// Points the settings store, the autostart folder and TEMP into a fresh temporary folder, so a
// test never touches the user's own files.
class TempSettings
{
public:
    TempSettings();

    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString tempFolder() const { return m_dir.path() + QStringLiteral("/temp"); }
    QString storeFile() const;
    // Empties the store, as on a first start.
    void clear();
    // Every key of the store with its value, as the file on disk holds them.
    QStringList storedKeys() const;

private:
    QTemporaryDir m_dir;
};
