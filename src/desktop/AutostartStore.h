#pragma once

#include <QByteArray>
#include <QString>

// Where the session looks for programs to start: the per-user XDG autostart folder on Linux, the
// Run key of the registry on Windows. Failures are silent: the option is remembered all the same.
namespace AutostartStore {

// Registers the program of that file name in the program's folder.
void WriteEntry(const QString& fileName);
// Removes the registration of that name; removing one that does not exist is no failure.
void DeleteEntry(const QString& fileName);

#ifdef Q_OS_WIN
// Writes one value under HKEY_LOCAL_MACHINE\<subKey>: type 1 as text, type 4 as a 32-bit number.
void SetRegistryValue(const QString& subKey, const QString& valueName, const QString& value, int valueType);
void DeleteRegistryValue(const QString& subKey, const QString& valueName);
#else
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart).
QString Folder();
QString EntryFile(const QString& fileName);
// The desktop entry that starts the program at that absolute path with the session.
QByteArray EntryText(const QString& programPath, const QString& iconPath);
#endif

} // namespace AutostartStore
