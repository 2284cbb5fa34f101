#pragma once

#include "zip/FileEvidence.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipWriter.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

// Reusing the compressed data of files that have not changed since an earlier archive was made.
//
// The rule: an entry of the earlier archive is reused for a file only when that archive recorded,
// beside the entry, the file's size, modification time and change time to the nanosecond and its
// inode, exactly as the file has them now. The record is written only for files whose change time
// lay at least LastingMargin before the moment their data began to be read, on file systems whose
// change time is the kernel's own (set on every write, rename, link and attribute change, and
// never settable by a program). Any write after that moment gives the file a change time later
// than the recorded one, however the modification time is set back afterwards ("cp -p", "tar x",
// "touch -d") and within the same clock tick as the read; a clock stepped back would have to
// land on the recorded nanosecond. Files on other file systems (FAT, exFAT, FUSE...) never get a
// record, so they are always compressed afresh.

// The record's extra-field ID (in the central directory only; other readers skip IDs they do
// not know).
inline constexpr std::uint16_t EntryRecordId = 0x7454;
inline constexpr std::int64_t LastingMargin = 2'000'000'000; // nanoseconds

// The central-directory extra field that records a file's evidence and the CRC-32 of its
// compressed data.
QByteArray EntryRecordField(const FileEvidence& evidence, std::uint32_t dataCrc);

// The file's evidence as the record in these central-directory extra fields holds it, when they
// hold one this program can read.
std::optional<FileEvidence> RecordedEvidence(const QByteArray& extra);

// Says whether a file whose data began to be read at readStartNs (the system clock) may be
// recorded for reuse. Each file system is asked once per run, from any thread.
class LastingEvidence final
{
public:
    bool lasts(const FileEvidence& evidence, std::int64_t readStartNs, int fd, std::uint64_t device);

private:
    std::mutex m_mutex;
    std::unordered_map<std::uint64_t, bool> m_keepsChangeTimes; // by device
};

// A stretch of an archive's file and the CRC-32 its bytes must have.
struct RecordedData
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint32_t crc = 0;
};
// True when every stretch still holds the bytes recorded for it; read on `threads` threads.
bool RecordedDataIntact(int fd, const std::vector<RecordedData>& stretches, int threads,
                        const std::function<bool()>& cancelled);

// An earlier archive of this program, open for reading for as long as the object lives. Only its
// central directory is read up front.
class PreviousArchive final
{
public:
    PreviousArchive() = default;
    ~PreviousArchive();
    PreviousArchive(const PreviousArchive&) = delete;
    PreviousArchive& operator=(const PreviousArchive&) = delete;

    // False (and nothing is reused) when the file cannot be opened or is not a sound archive.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    struct Match
    {
        ZipWriter::CopiedData data;
        QByteArray record; // the record field, carried over into the new archive
        std::uint32_t dataCrc = 0; // what the copied bytes must sum to
    };
    // The entry of that name when its record matches the file as it is now.
    std::optional<Match> reusable(const QByteArray& name, const FileEvidence& now) const;

    // Every entry, whoever wrote it, and where its data lies (nothing when its local header does
    // not agree with the directory).
    const CentralDirectory& directory() const { return m_directory; }
    std::optional<ZipWriter::CopiedData> locate(const CentralEntry& entry) const;

private:
    int m_fd = -1;
    CentralDirectory m_directory;
    QHash<QByteArray, std::size_t> m_byName;
};
