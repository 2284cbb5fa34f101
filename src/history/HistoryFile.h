#pragma once

#include <QString>

// The folder the history log lives in: TEMP when set and not empty, otherwise the user's own
// cache folder (never the shared /tmp, where another user could plant a file of that name).
QString HistoryFolder();
// The full path of the history log for a display name, e.g. ".../Tessaly.txt".
QString HistoryFilePath(const QString& displayName);

// The log's path for this run of the program, set once at start-up.
QString HistoryFile();
void SetHistoryFile(const QString& path);
