#pragma once

#include "restore/PendingFile.h"
#include "restore/RestorePlan.h"

#include <QDateTime>
#include <QStringList>
#include <atomic>
#include <vector>

// Where a restore has got to; read and cancelled from any thread.
struct RestoreProgress
{
    std::atomic<std::uint64_t> written { 0 };
    std::atomic<bool> cancel { false };
};

// What the restore did with one archive's entries.
struct SourceOutcome
{
    int restored = 0; // files that hold the backup's data now, written or found so already
    int kept = 0; // existing files kept under a "before restore" name
    QStringList problems; // "name: why" for every entry not restored, those refused by the plan first
};

struct RestoreOutcome
{
    std::vector<SourceOutcome> sources; // one for each source of the request
    QString failure; // what stopped the whole restore
    bool cancelled = false;
};

// Restores the plan's entries on every core: each file is written under a temporary name, its data
// checked against the archive's CRC and size, its permission bits and modification time set, and
// only then given its name (existing files handled as `existing` says; those already holding the
// data are left alone). Folders this restore made get their own bits and time last. A cancel
// leaves every file done so far in place and no file half written under any name.
RestoreOutcome RunRestore(const RestorePlan& plan, ExistingFiles existing, RestoreProgress& progress,
                          const QDateTime& moment);
