#pragma once

#include "zip/CentralRecords.h"
#include "zip/Digest.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Writes a ZIP archive front to back into a file opened for writing: local header, data, and at
// the end the central directory, with ZIP64 records wherever a size, an offset or the entry count
// needs them. Writes go through a large buffer; compressed data taken from another archive is
// copied file to file by the kernel, and runs of whole entries that are already laid out as this
// writer would lay them out are copied in one piece. Each entry's central record is made once the
// entry is complete and kept as bytes (see CentralRecords), so nothing else is held per entry.
class ZipWriter final
{
public:
    struct Entry
    {
        QByteArray name; // the stored bytes; folders end in "/"
        std::uint16_t flags = 0; // general-purpose flags: Utf8Flag for a name in UTF-8 beyond ASCII
        bool isDir = false; // folders are stored empty
        std::uint32_t dosTime = 0; // DosDateTime()
        std::uint32_t externalAttributes = 0;
        std::uint64_t sizeHint = 0; // the data's size as known before writing: large ones get ZIP64 headers
        QByteArray centralExtra; // extra fields of the central directory only
    };

    // Where the data of an entry of another archive lies, and what its central directory says of it.
    struct CopiedData
    {
        int fd = -1;
        std::uint64_t entryOffset = 0; // its local header
        std::uint64_t dataOffset = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint32_t crc = 0;
        std::uint16_t method = 8;
        QByteArray localHeader; // the bytes of its local header in that archive
        // The CRC-32 of the compressed bytes, when a record vouches for it; without it the bytes
        // are copied through memory and summed on the way.
        std::optional<std::uint32_t> dataCrc;
    };

    // Deflate data made whole before its entry is written.
    struct CompressedData
    {
        const std::uint8_t* data = nullptr;
        std::size_t compressedSize = 0;
        std::uint64_t size = 0; // of the file's bytes
        std::uint32_t crc = 0; // of the file's bytes
        std::uint32_t dataCrc = 0; // of the compressed bytes
    };

    // What the data of the entry begun last came to, as it went through write().
    struct DataDigest
    {
        std::uint32_t crc = 0;
        Sha256::Digest hash {}; // only when hashing is on
    };

    // The flag that marks a name as UTF-8.
    static constexpr std::uint16_t Utf8Flag = 1 << 11;

    enum class Mode
    {
        Write,
        // Nothing is written: every byte is compared with what the file already holds, and
        // differs() tells whether writing would have changed it. divert() then writes it all into
        // another file after all.
        Compare
    };

    // The descriptor stays the caller's; writing starts at offset 0. The central records spill
    // into spillFolder once large (see CentralRecords).
    explicit ZipWriter(int fd, Mode mode = Mode::Write, const QString& spillFolder = {});
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Also sums the data written through write() with SHA-256, for the records of later reuse.
    void hashEntryData() { m_hash = std::make_unique<Sha256>(); }

    // A folder, or an entry whose deflate data follows through write() and ends with endEntry().
    bool beginEntry(const Entry& entry);
    bool write(const std::uint8_t* data, std::size_t size);
    // The central directory's extra fields may be set only now, when what they record is known.
    bool endEntry(std::uint32_t crc, std::uint64_t compressedSize, std::uint64_t size,
                  const QByteArray& centralExtra = {});
    // The data written since beginEntry(); asked once, before endEntry().
    DataDigest dataDigest();
    // Takes back the entry begun last, as if it had never been begun.
    void abandonEntry();
    // A whole entry whose deflate data was made beforehand.
    bool addCompressed(const Entry& entry, const CompressedData& data);
    // A whole entry whose deflate data is taken as it is from another archive.
    bool addCopied(const Entry& entry, const CopiedData& data);

    // Writes the central directory and the end records, with the archive's comment (at most 65,535
    // bytes), and flushes the buffer (not to the disk). In Compare mode, tells whether the file holds
    // exactly this archive, and may be asked again after divert().
    bool finish(const QByteArray& comment = {});
    // Compare mode, once differs(): writes everything so far into fd instead (the bytes the
    // compared file holds alike are copied from it), and goes on writing there.
    bool divert(int fd);

    std::uint64_t size() const { return m_end; }
    // Once finished: the size of the whole archive.
    std::uint64_t archiveSize() const { return m_archiveSize; }
    // Once finished: the CRC-32 of every byte of the archive as this writer meant it to be, copied
    // data taken to be what its record says.
    std::uint32_t fileCrc() const { return m_fileCrc; }
    // Where the data of the entry begun or added last begins.
    std::uint64_t dataOffset() const { return m_current.offset + m_current.headerLength; }
    std::uint64_t entryCount() const { return m_records.count(); }
    // The central directory's records, in entry order.
    const CentralRecords& records() const { return m_records; }
    // The files among the complete entries (folders not counted), and the bytes they hold.
    std::uint64_t fileCount() const { return m_fileCount; }
    std::uint64_t fileBytes() const { return m_fileBytes; }
    // The system error of the first failure, and whether it happened reading another archive.
    int error() const { return m_error; }
    bool failedReading() const { return m_failedReading; }
    bool differs() const { return m_differs; }

    // The local header this writer writes for an entry with these figures.
    static QByteArray LocalHeader(const QByteArray& name, std::uint16_t flags, std::uint16_t method,
                                  std::uint32_t dosTime, std::uint32_t crc, std::uint64_t compressedSize,
                                  std::uint64_t size, bool zip64);

private:
    struct Central
    {
        QByteArray name;
        QByteArray extra;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t dosTime = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t offset = 0;
        std::uint32_t headerLength = 0;
        std::uint32_t externalAttributes = 0;
        bool zip64Local = false;
    };

    bool fits(const Entry& entry);
    Central centralFor(const Entry& entry) const;
    QByteArray localHeader(const Central& central) const;
    // The entry is complete: its record joins the directory and its bytes the file's CRC. In
    // Compare mode its bytes are compared first, and an entry that differs is taken back.
    bool complete(const Central& central, const QByteArray& header, std::uint32_t dataCrc);
    void takeBack(std::uint64_t start);
    bool append(const std::uint8_t* data, std::size_t size);
    bool append(const QByteArray& bytes);
    bool patch(std::uint64_t offset, const QByteArray& bytes);
    bool copyRange(int fd, std::uint64_t from, std::uint64_t length);
    bool copyThroughMemory(int source, std::uint64_t from, std::uint64_t length, std::uint32_t& crc);
    bool copyInMemory(int source, std::uint64_t from, std::uint64_t to, std::uint64_t length);
    bool readSource(int source, std::uint64_t from, std::uint64_t length,
                    const std::function<bool(const std::uint8_t*, std::size_t)>& sink);
    bool flushBuffer();
    bool flushCopy();
    bool writeAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset);
    QByteArray endRecords(std::uint64_t directoryStart, const QByteArray& comment) const;
    bool fail(bool reading);
    bool differ();

    int m_fd;
    bool m_compareOnly;
    bool m_differs = false;
    std::vector<std::uint8_t> m_buffer; // bytes from m_bufferStart on, not yet in the file
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_end = 0; // where the next byte goes

    // A copy not yet made, extended while whole entries follow each other in the source.
    struct PendingCopy
    {
        int fd = -1;
        std::uint64_t from = 0;
        std::uint64_t to = 0;
        std::uint64_t length = 0;
    } m_copy;

    CentralRecords m_records;
    Central m_current; // the entry begun or added last
    bool m_open = false; // an entry begun and not ended
    std::uint32_t m_dataCrc = 0; // of the open entry's data so far
    std::unique_ptr<Sha256> m_hash;
    std::uint32_t m_entriesCrc = 0; // of the complete entries' bytes, from offset 0
    std::uint64_t m_entriesEnd = 0; // where the complete entries end
    std::uint64_t m_fileCount = 0;
    std::uint64_t m_fileBytes = 0;
    std::uint32_t m_fileCrc = 0;
    std::uint64_t m_archiveSize = 0;
    int m_error = 0;
    bool m_failedReading = false;
};

// The DOS date (high half) and time (low half) of a moment, in local time, clamped to
// 1980-01-01 00:00:00 ... 2107-12-31 23:59:58.
std::uint32_t DosDateTime(std::int64_t secondsSinceEpoch);
