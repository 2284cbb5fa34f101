#pragma once

#include <QString>

// Appends one entry and CR LF to the history log (HistoryFile), in the local 8-bit encoding. An
// entry is one line: a line break inside it (a name may hold one) is written as a blank, so every
// line of the log ends in CR LF and is one whole entry. The file is opened and closed for every
// entry, so a crash loses at most the entry being written and other programs may read the log
// between entries. Raises an AppError when the log cannot be written.
void AddToHistory(const QString& entry);

// The two entries a backup run writes for a folder. A note on the archive goes in brackets after
// its path; a reason of several lines reads as one, its lines joined by "; ".
QString SuccessEntry(const QString& folderName, const QString& archivePath, const QString& dateTime,
                     const QString& note = {});
QString FailureEntry(const QString& folderName, const QString& reason, const QString& dateTime);

// The entry for an old archive removed to keep only the last `keep` of its folder.
QString RemovalEntry(const QString& archivePath, int keep);
