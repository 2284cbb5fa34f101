#pragma once

// Every key the program keeps in its settings store, with the default given when it is read.
namespace SettingsKeys {

struct Key
{
    const char* name;
    const char* fallback; // nullptr: the default is worked out by the reader
};

inline constexpr Key Folders { "Folders", "" };
inline constexpr Key BackupFolder { "Path", nullptr }; // the desktop folder, followed by a separator
inline constexpr Key Prefix { "Text1", "Backup" };
inline constexpr Key DateStamp { "Check1", "1" };
inline constexpr Key TimeStamp { "Check2", "1" };
inline constexpr Key Interval { "OftenIndex", "7" };
inline constexpr Key AutoBackup { "StartStopState", "On" };
inline constexpr Key StartWithSystem { "Windows Startup", "Off" };
inline constexpr Key StartInTray { "Minimized", "Off" };
inline constexpr Key LastAddedFolder { "LastFolder", "" };
inline constexpr Key KeepLast { "KeepLast", "0" }; // archives kept per folder; 0 keeps all
// The backup folder last written to and the file system it was on, as JSON.
inline constexpr Key BackupDisk { "BackupDisk", "" };
// Per listed folder, when it was last backed up in full (or first listed), as JSON.
inline constexpr Key LastBackups { "LastBackups", "" };
// When the last balloon about backups that stopped happening was shown (ISO 8601, UTC).
inline constexpr Key OverdueNoticeShown { "OverdueNoticeShown", "" };
// "Catch up on missed backups": "0" or "1".
inline constexpr Key CatchUp { "CatchUp", "0" };
// When the countdown last started from 0 (ISO 8601, UTC): the end of a timed run, a choice of
// interval, or turning on catching up.
inline constexpr Key CountdownStarted { "CountdownStarted", "" };

inline constexpr Key All[] = { Folders,     BackupFolder,       Prefix,      DateStamp,       TimeStamp, Interval,
                               AutoBackup,  StartWithSystem,    StartInTray, LastAddedFolder, KeepLast,  BackupDisk,
                               LastBackups, OverdueNoticeShown, CatchUp,     CountdownStarted };

} // namespace SettingsKeys
