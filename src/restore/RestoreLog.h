#pragma once

#include <QString>

struct SourceOutcome;

// The history log's entry for what one restore did with one archive, shaped like a backup's: the
// folder name, what happened and the date and time; the reasons of a restore not done in full on
// lines of their own, the date at the end of the last.
QString RestoreEntry(const QString& folderName, const QString& archivePath, const QString& target,
                     const SourceOutcome& outcome, const QString& stoppedBecause, const QString& dateTime);
