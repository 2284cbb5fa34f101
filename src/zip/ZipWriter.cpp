#include "zip/ZipWriter.h"

#include "zip/DeflateWorker.h"
#include "zip/ZipFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipFormat;

namespace {

constexpr std::size_t FlushAt = 4u << 20;
constexpr std::uint16_t MadeByUnix = 3 << 8;
constexpr std::uint16_t DeflateMethod = 8;

void put16(QByteArray& out, std::uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void put32(QByteArray& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void put64(QByteArray& out, std::uint64_t v)
{
    put32(out, static_cast<std::uint32_t>(v & Max32));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t clamp32(std::uint64_t v)
{
    return v >= Max32 ? static_cast<std::uint32_t>(Max32) : static_cast<std::uint32_t>(v);
}

// A stored or deflated entry of this size may need more than 32 bits for its compressed size:
// stored blocks add 5 bytes per 64 KiB.
bool needsZip64(std::uint64_t size)
{
    return size + size / 8192 + 1024 >= Max32;
}

std::uint16_t versionNeeded(bool zip64, bool isDir)
{
    return zip64 ? 45 : isDir ? 10 : 20;
}

} // namespace

std::uint32_t DosDateTime(std::int64_t secondsSinceEpoch)
{
    const auto dos = [](int year, int month, int day, int hour, int minute, int second) {
        return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11)
                                          | (minute << 5) | (second / 2));
    };
    const std::time_t time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local {};
    if (!::localtime_r(&time, &local))
        return secondsSinceEpoch < 0 ? dos(1980, 1, 1, 0, 0, 0) : dos(2107, 12, 31, 23, 59, 58);
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return dos(1980, 1, 1, 0, 0, 0);
    if (year > 2107)
        return dos(2107, 12, 31, 23, 59, 58);
    return dos(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
}

ZipWriter::ZipWriter(int fd, Mode mode, const QString& spillFolder)
    : m_fd(fd)
    , m_compareOnly(mode == Mode::Compare)
    , m_records(spillFolder)
{
    m_buffer.reserve(FlushAt + (1u << 16));
}

ZipWriter::Central ZipWriter::centralFor(const Entry& entry) const
{
    Central c;
    c.name = entry.name;
    c.extra = entry.centralExtra;
    c.flags = entry.flags;
    c.method = entry.isDir ? 0 : DeflateMethod;
    c.dosTime = entry.dosTime;
    c.externalAttributes = entry.externalAttributes;
    c.offset = m_end;
    c.zip64Local = !entry.isDir && needsZip64(entry.sizeHint);
    return c;
}

QByteArray ZipWriter::LocalHeader(const QByteArray& name, std::uint16_t flags, std::uint16_t method,
                                  std::uint32_t dosTime, std::uint32_t crc, std::uint64_t compressedSize,
                                  std::uint64_t size, bool zip64)
{
    QByteArray h;
    h.reserve(30 + name.size() + 20);
    put32(h, LocalSignature);
    put16(h, versionNeeded(zip64, method == 0));
    put16(h, flags);
    put16(h, method);
    put32(h, dosTime);
    put32(h, crc);
    put32(h, zip64 ? static_cast<std::uint32_t>(Max32) : static_cast<std::uint32_t>(compressedSize));
    put32(h, zip64 ? static_cast<std::uint32_t>(Max32) : static_cast<std::uint32_t>(size));
    put16(h, static_cast<std::uint16_t>(name.size()));
    put16(h, zip64 ? 20 : 0);
    h.append(name);
    if (zip64) {
        put16(h, Zip64Id);
        put16(h, 16);
        put64(h, size);
        put64(h, compressedSize);
    }
    return h;
}

QByteArray ZipWriter::localHeader(const Central& c) const
{
    return LocalHeader(c.name, c.flags, c.method, c.dosTime, c.crc, c.compressedSize, c.size, c.zip64Local);
}

bool ZipWriter::fits(const Entry& entry)
{
    if (entry.name.size() <= Max16 && entry.centralExtra.size() <= Max16 - 28)
        return true;
    if (m_error == 0)
        m_error = ENAMETOOLONG;
    return false;
}

bool ZipWriter::complete(const Central& c, const QByteArray& header, std::uint32_t dataCrc)
{
    if (m_compareOnly && !(flushCopy() && flushBuffer())) {
        takeBack(c.offset);
        return false;
    }
    m_entriesCrc = Crc32(m_entriesCrc, reinterpret_cast<const std::uint8_t*>(header.constData()),
                         static_cast<std::size_t>(header.size()));
    m_entriesCrc = Crc32Combine(m_entriesCrc, dataCrc, c.compressedSize);
    m_entriesEnd = m_end;
    if (!c.name.endsWith('/')) {
        ++m_fileCount;
        m_fileBytes += c.size;
    }

    QByteArray zip64;
    if (c.size >= Max32)
        put64(zip64, c.size);
    if (c.compressedSize >= Max32)
        put64(zip64, c.compressedSize);
    if (c.offset >= Max32)
        put64(zip64, c.offset);
    const bool large = !zip64.isEmpty() || c.zip64Local;
    QByteArray h;
    h.reserve(46 + c.name.size() + 28 + c.extra.size());
    put32(h, CentralSignature);
    put16(h, MadeByUnix | versionNeeded(large, c.method == 0));
    put16(h, versionNeeded(large, c.method == 0));
    put16(h, c.flags);
    put16(h, c.method);
    put32(h, c.dosTime);
    put32(h, c.crc);
    put32(h, clamp32(c.compressedSize));
    put32(h, clamp32(c.size));
    put16(h, static_cast<std::uint16_t>(c.name.size()));
    put16(h, static_cast<std::uint16_t>((zip64.isEmpty() ? 0 : 4 + zip64.size()) + c.extra.size()));
    put16(h, 0); // comment
    put16(h, 0); // disk
    put16(h, 0); // internal attributes
    put32(h, c.externalAttributes);
    put32(h, clamp32(c.offset));
    h.append(c.name);
    if (!zip64.isEmpty()) {
        put16(h, Zip64Id);
        put16(h, static_cast<std::uint16_t>(zip64.size()));
        h.append(zip64);
    }
    h.append(c.extra);
    if (!m_records.append(h.constData(), static_cast<std::size_t>(h.size())))
        return fail(false);
    return true;
}

void ZipWriter::takeBack(std::uint64_t start)
{
    m_copy = {};
    if (start >= m_bufferStart) {
        m_buffer.resize(static_cast<std::size_t>(start - m_bufferStart));
    } else {
        // Part of it is in the file already: it is overwritten by what follows, and the file is
        // cut to its true length at the end.
        m_buffer.clear();
        m_bufferStart = start;
    }
    m_end = start;
}

bool ZipWriter::beginEntry(const Entry& entry)
{
    if (!fits(entry))
        return false;
    if (m_compareOnly && !entry.isDir)
        return differ(); // data made now is never in the file already
    Central c = centralFor(entry);
    const QByteArray header = localHeader(c);
    c.headerLength = static_cast<std::uint32_t>(header.size());
    if (!append(header))
        return false;
    m_current = std::move(c);
    m_dataCrc = 0;
    m_open = !entry.isDir;
    return m_open || complete(m_current, header, 0);
}

bool ZipWriter::write(const std::uint8_t* data, std::size_t size)
{
    m_dataCrc = Crc32(m_dataCrc, data, size);
    if (m_hash)
        m_hash->add(data, size);
    return append(data, size);
}

ZipWriter::DataDigest ZipWriter::dataDigest()
{
    DataDigest digest;
    digest.crc = m_dataCrc;
    if (m_hash)
        digest.hash = m_hash->finish();
    return digest;
}

bool ZipWriter::endEntry(std::uint32_t crc, std::uint64_t compressedSize, std::uint64_t size,
                         const QByteArray& centralExtra)
{
    Central& c = m_current;
    if (!centralExtra.isEmpty())
        c.extra = centralExtra;
    m_open = false;
    if (!c.zip64Local && (compressedSize >= Max32 || size >= Max32)) {
        // Never expected: the size known beforehand decides the header, and files are never read
        // past it.
        m_error = EFBIG;
        return false;
    }
    c.crc = crc;
    c.compressedSize = compressedSize;
    c.size = size;
    const QByteArray header = localHeader(c);
    return patch(c.offset, header) && complete(c, header, m_dataCrc);
}

void ZipWriter::abandonEntry()
{
    m_open = false;
    if (m_hash)
        m_hash->finish();
    takeBack(m_current.offset);
}

bool ZipWriter::addCompressed(const Entry& entry, const CompressedData& data)
{
    if (!fits(entry))
        return false;
    if (m_compareOnly)
        return differ();
    Central c = centralFor(entry);
    if (!c.zip64Local && (data.compressedSize >= Max32 || data.size >= Max32)) {
        m_error = EFBIG;
        return false;
    }
    c.crc = data.crc;
    c.compressedSize = data.compressedSize;
    c.size = data.size;
    const QByteArray header = localHeader(c);
    c.headerLength = static_cast<std::uint32_t>(header.size());
    if (!append(header) || !append(data.data, data.compressedSize))
        return false;
    m_current = std::move(c);
    return complete(m_current, header, data.dataCrc);
}

bool ZipWriter::addCopied(const Entry& entry, const CopiedData& data)
{
    if (!fits(entry))
        return false;
    Central c = centralFor(entry);
    c.zip64Local = needsZip64(std::max(data.size, data.compressedSize));
    c.crc = data.crc;
    c.method = data.method;
    c.compressedSize = data.compressedSize;
    c.size = data.size;
    const QByteArray header = localHeader(c);
    c.headerLength = static_cast<std::uint32_t>(header.size());

    // When the source's own header is the one this writer would write, header and data are copied
    // together, and a run of such entries in one piece.
    const bool sameHeader = data.localHeader == header;
    std::uint32_t dataCrc = 0;
    if (!data.dataCrc) {
        if (!append(header) || !copyThroughMemory(data.fd, data.dataOffset, data.compressedSize, dataCrc))
            return false;
    } else if (sameHeader) {
        if (!copyRange(data.fd, data.entryOffset, header.size() + data.compressedSize))
            return false;
        dataCrc = *data.dataCrc;
    } else {
        if (!append(header) || !copyRange(data.fd, data.dataOffset, data.compressedSize))
            return false;
        dataCrc = *data.dataCrc;
    }
    m_current = std::move(c);
    return complete(m_current, header, dataCrc);
}

QByteArray ZipWriter::endRecords(std::uint64_t directoryStart, const QByteArray& comment) const
{
    const std::uint64_t directoryEnd = directoryStart + m_records.size();
    const std::uint64_t count = m_records.count();
    QByteArray end;
    if (count >= Max16 || directoryStart >= Max32 || directoryEnd - directoryStart >= Max32) {
        put32(end, End64Signature);
        put64(end, 44);
        put16(end, MadeByUnix | 45);
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        put64(end, count);
        put64(end, count);
        put64(end, directoryEnd - directoryStart);
        put64(end, directoryStart);
        put32(end, Locator64Signature);
        put32(end, 0);
        put64(end, directoryEnd);
        put32(end, 1);
    }
    put32(end, EndSignature);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(count, Max16)));
    put16(end, static_cast<std::uint16_t>(std::min<std::uint64_t>(count, Max16)));
    put32(end, clamp32(directoryEnd - directoryStart));
    put32(end, clamp32(directoryStart));
    put16(end, static_cast<std::uint16_t>(comment.size()));
    end.append(comment);
    return end;
}

bool ZipWriter::finish(const QByteArray& comment)
{
    // The entries lie one after another from the start: each local header, then its data.
    const std::uint64_t directoryStart = m_entriesEnd;
    const QByteArray end = endRecords(directoryStart, comment);
    m_fileCrc = Crc32Combine(m_entriesCrc, m_records.crc(), m_records.size());
    m_fileCrc = Crc32(m_fileCrc, reinterpret_cast<const std::uint8_t*>(end.constData()),
                      static_cast<std::size_t>(end.size()));
    m_archiveSize = directoryStart + m_records.size() + static_cast<std::uint64_t>(end.size());
    if (m_compareOnly) {
        // Compared a stretch at a time where the file holds it; the writer itself is left as it
        // is, so that it can still write the archive elsewhere.
        std::uint64_t at = directoryStart;
        std::vector<std::uint8_t> there;
        const auto same = [&](const std::uint8_t* data, std::size_t size) {
            there.resize(size);
            const ssize_t n = ::pread(m_fd, there.data(), size, static_cast<off_t>(at));
            at += size;
            return n == static_cast<ssize_t>(size) && std::memcmp(there.data(), data, size) == 0;
        };
        struct stat st;
        if (!m_records.eachStretch(same)
            || !same(reinterpret_cast<const std::uint8_t*>(end.constData()), static_cast<std::size_t>(end.size()))
            || ::fstat(m_fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != at)
            return differ();
        return true;
    }
    const auto appendStretch = [this](const std::uint8_t* data, std::size_t size) { return append(data, size); };
    if (!m_records.eachStretch(appendStretch)) {
        if (m_error == 0)
            fail(false);
        return false;
    }
    if (!append(end) || !flushCopy() || !flushBuffer())
        return false;
    // An entry taken back at the end may have left bytes beyond the archive's end.
    if (::ftruncate(m_fd, static_cast<off_t>(m_end)) != 0)
        return fail(false);
    return true;
}

bool ZipWriter::divert(int fd)
{
    // Every complete entry is what the compared file holds: those bytes are copied from it.
    takeBack(m_entriesEnd);
    const int compared = m_fd;
    m_fd = fd;
    m_compareOnly = false;
    m_differs = false;
    m_bufferStart = m_end;
    m_copy = { compared, 0, 0, m_end };
    return flushCopy();
}

bool ZipWriter::append(const QByteArray& bytes)
{
    return append(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}

bool ZipWriter::append(const std::uint8_t* data, std::size_t size)
{
    if (!flushCopy())
        return false;
    // Taken a buffer's worth at a time, so a large stretch (the central directory) is never held twice.
    while (size > 0) {
        const std::size_t part = std::min(size, FlushAt - std::min(FlushAt - 1, m_buffer.size()));
        m_buffer.insert(m_buffer.end(), data, data + part);
        m_end += part;
        data += part;
        size -= part;
        if (m_buffer.size() >= FlushAt && !flushBuffer())
            return false;
    }
    return true;
}

bool ZipWriter::patch(std::uint64_t offset, const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    std::size_t size = static_cast<std::size_t>(bytes.size());
    if (offset < m_bufferStart) {
        const std::size_t before = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_bufferStart - offset));
        if (!writeAt(data, before, offset))
            return false;
        data += before;
        size -= before;
        offset += before;
    }
    if (size > 0)
        std::memcpy(m_buffer.data() + (offset - m_bufferStart), data, size);
    return true;
}

bool ZipWriter::copyRange(int fd, std::uint64_t from, std::uint64_t length)
{
    if (m_copy.fd == fd && m_copy.from + m_copy.length == from && m_copy.to + m_copy.length == m_end) {
        m_copy.length += length;
    } else {
        if (!flushCopy() || !flushBuffer())
            return false;
        m_copy = { fd, from, m_end, length };
    }
    m_end += length;
    m_bufferStart = m_end;
    return true;
}

bool ZipWriter::flushCopy()
{
    if (m_copy.length == 0)
        return true;
    const int source = m_copy.fd;
    auto from = static_cast<off_t>(m_copy.from);
    auto to = static_cast<off_t>(m_copy.to);
    std::uint64_t left = m_copy.length;
    m_copy = {};
    // Data that already lies where it would be copied to is the same data.
    if (m_compareOnly)
        return source == m_fd && from == to ? true : differ();
    while (left > 0) {
        const ssize_t n = ::copy_file_range(source, &from, m_fd, &to, static_cast<std::size_t>(left), 0);
        if (n > 0) {
            left -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // The kernel cannot copy between these files, or one side failed: through memory then,
        // which also tells whether reading or writing failed.
        return copyInMemory(source, static_cast<std::uint64_t>(from), static_cast<std::uint64_t>(to), left);
    }
    return true;
}

// Reads the source's bytes a chunk at a time and hands each to the sink; a source that fails or
// ends early is a read failure.
bool ZipWriter::readSource(int source, std::uint64_t from, std::uint64_t length,
                           const std::function<bool(const std::uint8_t*, std::size_t)>& sink)
{
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 20)));
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, chunk.size()));
        const ssize_t got = ::pread(source, chunk.data(), want, static_cast<off_t>(from));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // the source ended before the data it promised
            return fail(true);
        }
        if (!sink(chunk.data(), static_cast<std::size_t>(got)))
            return false;
        from += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool ZipWriter::copyInMemory(int source, std::uint64_t from, std::uint64_t to, std::uint64_t length)
{
    return readSource(source, from, length, [&](const std::uint8_t* data, std::size_t size) {
        const bool written = writeAt(data, size, to);
        to += size;
        return written;
    });
}

bool ZipWriter::copyThroughMemory(int source, std::uint64_t from, std::uint64_t length, std::uint32_t& crc)
{
    crc = 0;
    return readSource(source, from, length, [&](const std::uint8_t* data, std::size_t size) {
        crc = Crc32(crc, data, size);
        return append(data, size);
    });
}

bool ZipWriter::flushBuffer()
{
    if (m_buffer.empty())
        return true;
    if (!writeAt(m_buffer.data(), m_buffer.size(), m_bufferStart))
        return false;
    m_bufferStart += m_buffer.size();
    m_buffer.clear();
    return true;
}

bool ZipWriter::writeAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset)
{
    if (m_compareOnly) {
        std::vector<std::uint8_t> there(size);
        const ssize_t n = ::pread(m_fd, there.data(), size, static_cast<off_t>(offset));
        return n == static_cast<ssize_t>(size) && std::memcmp(there.data(), data, size) == 0 ? true : differ();
    }
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(false);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ZipWriter::differ()
{
    m_differs = true;
    return false;
}

bool ZipWriter::fail(bool reading)
{
    if (m_error == 0) {
        m_error = errno;
        m_failedReading = reading;
    }
    return false;
}
