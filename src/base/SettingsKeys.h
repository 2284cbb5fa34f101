#pragma once

// Every key the program keeps in its settings store, with the default given when it is read.
namespace SettingsKeys {

struct Key
{
    const char* name;
    const char* fallback; // nullptr: the default is worked out by the reader
};

inline constexpr Key Folders{"Folders", ""};
inline constexpr Key Path{"Path", nullptr}; // the desktop folder, followed by a separator
inline constexpr Key Text1{"Text1", "Backup"};
inline constexpr Key Check1{"Check1", "1"};
inline constexpr Key Check2{"Check2", "1"};
inline constexpr Key OftenIndex{"OftenIndex", "7"};
inline constexpr Key StartStopState{"StartStopState", "On"};
inline constexpr Key WindowsStartup{"Windows Startup", "Off"};
inline constexpr Key Minimized{"Minimized", "Off"};
inline constexpr Key LastFolder{"LastFolder", ""};
inline constexpr Key KeepLast{"KeepLast", "0"}; // archives kept per folder; 0 keeps all

inline constexpr Key All[] = {Folders, Path, Text1, Check1, Check2, OftenIndex,
                              StartStopState, WindowsStartup, Minimized, LastFolder, KeepLast};

} // namespace SettingsKeys
