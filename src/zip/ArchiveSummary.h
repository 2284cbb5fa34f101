#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// What an archive of this program holds, as the engine notes it in the archive's comment: how many
// files, how many bytes they hold, and whether every file that was asked for is in it. The note
// marks the archive as the program's own (its own archives are never archived again) and lets
// keep-last tell a complete backup from one that left files out, reading only the file's end.
struct ArchiveSummary
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    bool complete = false;
};

// The comment the engine ends each archive with.
QByteArray SummaryComment(const ArchiveSummary& summary);

// True when the file ends in that comment: one of the program's own archives.
bool IsOwnArchive(const QString& path);

// What the archive holds: as its comment notes it; for an archive without the note (one written
// before archives carried it) counted from its central directory and taken as complete, so that
// keep-last errs towards keeping it. Nothing when the file cannot be read as an archive.
std::optional<ArchiveSummary> ReadArchiveSummary(const QString& path);
