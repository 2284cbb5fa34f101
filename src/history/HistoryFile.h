#pragma once

#include <QString>

// The full path of the history log for a display name, e.g. ".../Tessaly.txt": in TEMP when set and
// not empty, otherwise in the user's own state folder (on Linux $XDG_STATE_HOME/<name>, normally
// ~/.local/state/Tessaly), which disk cleaners leave alone; never in the shared /tmp, where another
// user could plant a file of that name. Where TEMP is not set, a log that older versions left in
// the cache folder is moved there first, once, without losing a line.
QString HistoryFilePath(const QString& displayName);

// The log's path for this run of the program, set once at start-up.
QString HistoryFile();
void SetHistoryFile(const QString& path);
