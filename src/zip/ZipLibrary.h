#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// The zip binding: one call per archive through three steps (register the callbacks, set the
// options, archive), with the engine's printed words collected in LastZipMessage.

// Callbacks the engine calls while it works. The service slot stays empty.
using ZipPrintFunction = std::int32_t (*)(const char* buffer, std::uint32_t length);
using ZipPasswordFunction = std::int32_t (*)(char* password, std::int32_t size, const char* prompt,
                                             const char* name);
using ZipCommentFunction = QByteArray (*)(const QByteArray& comment);
using ZipServiceFunction = std::int32_t (*)(const char* name, std::uint64_t size);

struct ZipCallbacks
{
    ZipPrintFunction print = nullptr;
    ZipPasswordFunction password = nullptr;
    ZipCommentFunction comment = nullptr;
    ZipServiceFunction service = nullptr;
};

// The options of one archive; flags are 1 for on and 0 for off.
struct ZipOptions
{
    std::int32_t includeSuffixes = 0;
    std::int32_t encrypt = 0;
    std::int32_t systemFiles = 0; // include system and hidden files
    std::int32_t volumeLabel = 0;
    std::int32_t extraAttributes = 0;
    std::int32_t noDirEntries = 0;
    std::int32_t excludeDate = 0;
    std::int32_t includeDate = 0;
    std::int32_t verbose = 0;
    std::int32_t quiet = 0;
    std::int32_t crlfToLf = 0;
    std::int32_t lfToCrlf = 0;
    std::int32_t junkDirNames = 0;
    std::int32_t recurse = 0;
    std::int32_t grow = 0;
    std::int32_t forceDos = 0;
    std::int32_t move = 0;
    std::int32_t deleteEntries = 0;
    std::int32_t update = 0;
    std::int32_t freshen = 0;
    std::int32_t junkSfxPrefix = 0;
    std::int32_t latestTime = 0;
    std::int32_t comment = 0;
    std::int32_t adjustSfx = 0;
    std::int32_t privileges = 0;
    std::int32_t encryptionSupported = 0;
    std::int32_t repair = 0;
    char level = 0; // the byte 0: the engine picks its own level
    QString date;
    QString rootDirectory;
    QString reuseFrom; // an earlier archive whose unchanged entries may be copied
};

// Slot 0 is the placeholder and is never a file; names and patterns follow in the order added.
// Any number of slots.
using ZipNameList = QStringList;

// Result codes of the engine.
namespace ZipCode {
inline constexpr std::int32_t Ok = 0;
inline constexpr std::int32_t Cancelled = 9;       // the run was stopped; the old archive stays
inline constexpr std::int32_t NothingToDo = 12;    // no name matched; the old archive stays
inline constexpr std::int32_t WriteError = 14;     // the archive could not be written or replaced
inline constexpr std::int32_t BadArguments = 16;   // no archive name, or an option the engine lacks
inline constexpr std::int32_t FilesSkipped = 18;   // archive written, but some files were left out
inline constexpr std::int32_t InternalError = 5;   // an unexpected failure inside the engine
} // namespace ZipCode

// Makes one archive. Arguments in the binding's order: entry count (placeholder included),
// archive path, name list, ignore-path, recurse, update, freshen, root directory, then encrypt,
// system files, no directory entries, verbose, quiet, CR LF to LF, LF to CR LF, grow, force DOS
// names, move, delete entries, and last an earlier archive of the same files whose data may be
// reused (empty for none). Returns 0 for success.
std::int32_t CallZipLibrary(std::int32_t entryCount, const QString& zipFileName, const ZipNameList& names,
                            std::int32_t ignorePath, std::int32_t recurse, std::int32_t update,
                            std::int32_t freshen, const QString& rootDirectory, std::int32_t encrypt,
                            std::int32_t systemFiles, std::int32_t noDirEntries, std::int32_t verbose,
                            std::int32_t quiet, std::int32_t crlfToLf, std::int32_t lfToCrlf, std::int32_t grow,
                            std::int32_t forceDos, std::int32_t move, std::int32_t deleteEntries,
                            const QString& reuseFrom = {});

// The three steps of one call.
std::int32_t ZpInit(const ZipCallbacks* callbacks);
std::int32_t ZpSetOptions(const ZipOptions* options);
std::int32_t ZpArchive(std::int32_t entryCount, const QString& zipFileName, const ZipNameList& names);

// The engine's words of the most recent call, shared by every caller.
QString LastZipMessage();

// Appends the bytes up to the first NUL (at most length + 1 and never more than 4,097) to
// LastZipMessage, lets window events through and returns 0.
std::int32_t ZipPrintCallback(const char* buffer, std::uint32_t length);
// Returns 1 at once and writes nothing: archives are never encrypted.
std::int32_t ZipPasswordCallback(char* password, std::int32_t size, const char* prompt, const char* name);
// Returns the comment unchanged.
QByteArray ZipCommentCallback(const QByteArray& comment);
