#pragma once

#include <QString>

// Appends one entry and CR LF to the history log (HistoryFile), in the local 8-bit encoding.
// The file is opened and closed for every entry, so a crash loses at most the entry being written
// and other programs may read the log between entries. Raises an AppError when the log cannot be
// written.
void AddToHistory(const QString& entry);

// The two entries a backup run writes for a folder. A reason of several lines keeps them, each
// ended by CR LF, with the date at the end of its last line.
QString SuccessEntry(const QString& folderName, const QString& archivePath, const QString& dateTime);
QString FailureEntry(const QString& folderName, const QString& reason, const QString& dateTime);

// The entry for an old archive removed to keep only the last `keep` of its folder.
QString RemovalEntry(const QString& archivePath, int keep);
