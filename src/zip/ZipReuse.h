#pragma once

#include "zip/Digest.h"
#include "zip/EntryRecord.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipWriter.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

// Reusing the compressed data of files that have not changed since an earlier archive was made.
//
// The rule: an entry of the earlier archive is reused for a file only when its record (see
// EntryRecord.h) carries this user's tag and recorded the file's size, modification time and
// change time to the nanosecond and its inode exactly as the file has them now, on a file system
// whose change time is the kernel's own (set on every write, rename, link and attribute change,
// and never settable by a program). Any write after the read gives the file a later change time,
// however the modification time is set back afterwards ("cp -p", "tar x", "touch -d"). Two kinds
// of change escape that: writes through a shared mapping after the first one to a page, and one
// long write() that was under way when the file was read. The record's age bounds them: young
// records, and those a day old, are only reused after the file was read again and its bytes
// matched.

// Says whether the evidence of files on a device may be relied on. Each file system is asked
// once per run, from any thread.
class ChangeTimeTrust final
{
public:
    bool trusted(int fd, std::uint64_t device);

private:
    std::mutex m_mutex;
    std::unordered_map<std::uint64_t, bool> m_byDevice;
};

// An earlier archive of this program, open for reading for as long as the object lives. Only its
// central directory is read up front, and only as much of it as the file really holds.
class PreviousArchive final
{
public:
    PreviousArchive() = default;
    ~PreviousArchive();
    PreviousArchive(const PreviousArchive&) = delete;
    PreviousArchive& operator=(const PreviousArchive&) = delete;

    // False (and nothing is reused) when the file cannot be opened or is not a sound archive.
    // Records are trusted only when they carry the tag this key makes; without a key, none is.
    bool open(const QString& path, const QByteArray& key);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    const QString& path() const { return m_path; }

    struct Match
    {
        ZipWriter::CopiedData data; // sizes and CRCs as the record has them
        EntryRecord record;
        const CentralEntry* entry = nullptr;
    };
    // The entry of that name when it carries a record of ours and its data is where the
    // directory says.
    std::optional<Match> recorded(const QByteArray& name) const;

    // Every entry, whoever wrote it, and where its data lies (nothing when its local header does
    // not agree with the directory).
    const CentralDirectory& directory() const { return m_directory; }
    std::optional<ZipWriter::CopiedData> locate(const CentralEntry& entry) const;

private:
    int m_fd = -1;
    QString m_path;
    CentralDirectory m_directory;
    QHash<QByteArray, std::size_t> m_byName;
    std::unique_ptr<MessageTagger> m_tagger;
};
