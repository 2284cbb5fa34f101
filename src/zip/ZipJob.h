#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// One archive to make: what goes in, how, and the caller's hooks for stopping it and for letting
// its events through while it is made.
struct ZipJob
{
    QString archivePath;
    QStringList names; // names and patterns in order
    QString rootDirectory;
    bool junkPaths = false;
    bool recurse = false;
    bool update = false;
    QString reuseFrom; // an earlier archive of the same files, used when the target does not exist yet
    // Asked from the engine's threads; true abandons the archive and leaves the old one as it was.
    // Empty: never cancelled.
    std::function<bool()> cancelled;
    // Lets the caller's pending events through while it waits for the archive; may be empty.
    std::function<void()> pumpEvents;
};

// Result codes of the engine.
namespace ZipCode {
inline constexpr std::int32_t Ok = 0;
inline constexpr std::int32_t Cancelled = 9; // the run was stopped; the old archive stays
inline constexpr std::int32_t NothingToDo = 12; // no name matched; the old archive stays
inline constexpr std::int32_t WriteError = 14; // the archive could not be written or replaced
inline constexpr std::int32_t BadArguments = 16; // no archive name given
inline constexpr std::int32_t FilesSkipped = 18; // archive written, but some files were left out
// Archive written with every file, but some not as they are now: kept as an earlier archive held
// them because they cannot be read now, or read while they kept changing.
inline constexpr std::int32_t FilesKept = 19;
inline constexpr std::int32_t InternalError = 5; // an unexpected failure inside the engine
} // namespace ZipCode

// What became of one archive: a ZipCode and the engine's words about it.
struct ZipResult
{
    std::int32_t code = ZipCode::Ok;
    QString message;
};
