#include "zip/ZipDirectory.h"

#include "zip/ZipFormat.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipFormat;

namespace {

constexpr std::size_t EndSize = 22;
constexpr std::size_t Locator64Size = 20;
constexpr std::size_t End64Size = 56;
// A directory larger than this is not read (it would take a million and more entries).
constexpr std::uint64_t DirectoryLimit = 1ull << 30;

// Little-endian reads from a byte range that knows its end.
class Bytes
{
public:
    Bytes(const char* data, std::size_t size)
        : m_data(reinterpret_cast<const unsigned char*>(data))
        , m_size(size)
    { }
    bool has(std::size_t at, std::size_t n) const { return at <= m_size && n <= m_size - at; }
    std::uint16_t u16(std::size_t at) const { return static_cast<std::uint16_t>(m_data[at] | (m_data[at + 1] << 8)); }
    std::uint32_t u32(std::size_t at) const { return u16(at) | (static_cast<std::uint32_t>(u16(at + 2)) << 16); }
    std::uint64_t u64(std::size_t at) const { return u32(at) | (static_cast<std::uint64_t>(u32(at + 4)) << 32); }

private:
    const unsigned char* m_data;
    std::size_t m_size;
};

bool readAt(int fd, QByteArray& out, std::uint64_t offset, std::size_t size)
{
    out.resize(static_cast<qsizetype>(size));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The directory's bytes, read a stretch at a time as the entries are taken; only the entry being
// taken is held, whatever the directory's size.
class DirectoryReader
{
public:
    DirectoryReader(int fd, std::uint64_t start, std::uint64_t size)
        : m_fd(fd)
        , m_start(start)
        , m_size(size)
    { }

    // Makes the n bytes at `at` (from the directory's start) readable; false past its end.
    bool fetch(std::uint64_t at, std::size_t n)
    {
        if (at > m_size || n > m_size - at)
            return false;
        if (at >= m_at && at + n <= m_at + static_cast<std::uint64_t>(m_window.size()))
            return true;
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, Stretch), m_size - at));
        m_at = at;
        return readAt(m_fd, m_window, m_start + at, size);
    }
    std::uint16_t u16(std::uint64_t at) const { return view().u16(offset(at)); }
    std::uint32_t u32(std::uint64_t at) const { return view().u32(offset(at)); }
    QByteArray bytes(std::uint64_t at, std::size_t n) const
    {
        return m_window.mid(static_cast<qsizetype>(offset(at)), static_cast<qsizetype>(n));
    }

private:
    static constexpr std::size_t Stretch = 1u << 20;
    Bytes view() const { return Bytes(m_window.constData(), static_cast<std::size_t>(m_window.size())); }
    std::size_t offset(std::uint64_t at) const { return static_cast<std::size_t>(at - m_at); }

    int m_fd;
    std::uint64_t m_start;
    std::uint64_t m_size;
    std::uint64_t m_at = 0;
    QByteArray m_window;
};

// Applies the ZIP64 extra field to the figures the fixed fields left at their maximum.
bool applyZip64(const QByteArray& extra, CentralEntry& entry, bool sizeLarge, bool compressedLarge, bool offsetLarge)
{
    if (!sizeLarge && !compressedLarge && !offsetLarge)
        return true;
    const QByteArray field = FindExtraField(extra, Zip64Id);
    const Bytes b(field.constData(), static_cast<std::size_t>(field.size()));
    std::size_t at = 0;
    for (auto [large, target] :
         { std::pair { sizeLarge, &entry.size }, std::pair { compressedLarge, &entry.compressedSize },
           std::pair { offsetLarge, &entry.localHeaderOffset } }) {
        if (!large)
            continue;
        if (!b.has(at, 8))
            return false;
        *target = b.u64(at);
        at += 8;
    }
    return true;
}

} // namespace

bool ReadCentralDirectory(int fd, CentralDirectory& directory)
{
    directory = {};
    CentralDirectory read;
    if (!ReadCentralEntries(fd, read, [&read](CentralEntry&& entry) {
            read.entries.push_back(std::move(entry));
            return true;
        }))
        return false;
    directory = std::move(read);
    return true;
}

bool ReadCentralEntries(int fd, CentralDirectory& directory, const std::function<bool(CentralEntry&& entry)>& sink)
{
    directory = {};
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (fileSize < EndSize)
        return false;
    // The end record sits at the end, after a comment of at most 65,535 bytes.
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, EndSize + Max16));
    const std::uint64_t tailStart = fileSize - tailSize;
    QByteArray tail;
    if (!readAt(fd, tail, tailStart, tailSize))
        return false;
    const Bytes t(tail.constData(), tailSize);
    std::size_t end = tailSize - EndSize + 1;
    bool found = false;
    while (end-- > 0) {
        if (t.u32(end) == EndSignature && end + EndSize + t.u16(end + 20) == tailSize) {
            found = true;
            break;
        }
    }
    if (!found || t.u16(end + 4) != 0 || t.u16(end + 6) != 0 || t.u16(end + 8) != t.u16(end + 10))
        return false;
    std::uint64_t count = t.u16(end + 10);
    std::uint64_t directorySize = t.u32(end + 12);
    std::uint64_t directoryStart = t.u32(end + 16);
    std::uint64_t directoryLimit = tailStart + end; // the directory ends where the end records begin
    if (count == Max16 || directorySize == Max32 || directoryStart == Max32) {
        if (end < Locator64Size)
            return false;
        const std::size_t locator = end - Locator64Size;
        if (t.u32(locator) != Locator64Signature || t.u32(locator + 4) != 0 || t.u32(locator + 16) > 1)
            return false;
        const std::uint64_t end64At = t.u64(locator + 8);
        if (end64At > tailStart + locator || tailStart + locator - end64At < End64Size)
            return false;
        QByteArray record;
        if (!readAt(fd, record, end64At, End64Size))
            return false;
        const Bytes r(record.constData(), End64Size);
        if (r.u32(0) != End64Signature || r.u32(16) != 0 || r.u32(20) != 0 || r.u64(24) != r.u64(32))
            return false;
        count = r.u64(32);
        directorySize = r.u64(40);
        directoryStart = r.u64(48);
        directoryLimit = end64At;
    }
    if (directoryStart > directoryLimit || directorySize != directoryLimit - directoryStart
        || directorySize > DirectoryLimit || count > directorySize / 46)
        return false;

    // Read a stretch at a time, so a directory that claims more than the file holds costs no more
    // than its first stretch: nothing is set aside for the entries it claims.
    directory.start = directoryStart;
    directory.count = count;
    DirectoryReader d(fd, directoryStart, directorySize);
    std::uint64_t at = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!d.fetch(at, 46) || d.u32(at) != CentralSignature)
            return false;
        const std::size_t nameLength = d.u16(at + 28);
        const std::size_t extraLength = d.u16(at + 30);
        const std::size_t commentLength = d.u16(at + 32);
        if (!d.fetch(at, 46 + nameLength + extraLength + commentLength) || d.u16(at + 34) != 0)
            return false;
        CentralEntry entry;
        entry.flags = d.u16(at + 8);
        entry.method = d.u16(at + 10);
        entry.dosTime = d.u32(at + 12);
        entry.crc = d.u32(at + 16);
        entry.externalAttributes = d.u32(at + 38);
        entry.compressedSize = d.u32(at + 20);
        entry.size = d.u32(at + 24);
        entry.localHeaderOffset = d.u32(at + 42);
        entry.name = d.bytes(at + 46, nameLength);
        entry.extra = d.bytes(at + 46 + nameLength, extraLength);
        if (!applyZip64(entry.extra, entry, entry.size == Max32, entry.compressedSize == Max32,
                        entry.localHeaderOffset == Max32))
            return false;
        if (entry.localHeaderOffset >= directoryStart)
            return false;
        if (!sink(std::move(entry)))
            return false;
        at += 46 + nameLength + extraLength + commentLength;
    }
    return at == directorySize;
}

bool LocateEntryData(int fd, const CentralDirectory& directory, const CentralEntry& entry, std::uint64_t& dataOffset,
                     QByteArray& localHeader)
{
    const std::size_t nameLength = static_cast<std::size_t>(entry.name.size());
    if (entry.localHeaderOffset + 30 + nameLength > directory.start
        || !readAt(fd, localHeader, entry.localHeaderOffset, 30 + nameLength))
        return false;
    const Bytes h(localHeader.constData(), 30 + nameLength);
    if (h.u32(0) != LocalSignature || h.u16(8) != entry.method || h.u16(26) != nameLength
        || localHeader.mid(30) != entry.name)
        return false;
    const std::size_t extraLength = h.u16(28);
    QByteArray extra;
    if (extraLength > 0 && !readAt(fd, extra, entry.localHeaderOffset + 30 + nameLength, extraLength))
        return false;
    localHeader.append(extra);
    dataOffset = entry.localHeaderOffset + 30 + nameLength + extraLength;
    return dataOffset <= directory.start && entry.compressedSize <= directory.start - dataOffset;
}

QByteArray FindExtraField(const QByteArray& extra, std::uint16_t id)
{
    const Bytes b(extra.constData(), static_cast<std::size_t>(extra.size()));
    std::size_t at = 0;
    while (b.has(at, 4)) {
        const std::size_t length = b.u16(at + 2);
        if (!b.has(at + 4, length))
            return {};
        if (b.u16(at) == id)
            return extra.mid(static_cast<qsizetype>(at + 4), static_cast<qsizetype>(length));
        at += 4 + length;
    }
    return {};
}
