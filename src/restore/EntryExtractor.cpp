#include "restore/EntryExtractor.h"

#include "restore/TargetFolder.h"

#include <algorithm>
#include <cerrno>
#include <libdeflate.h>
#include <new>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr std::uint16_t StoredMethod = 0;
constexpr std::uint16_t DeflateMethod = 8;
constexpr std::uint16_t EncryptedFlag = 0x0001;
// Entries up to this size are inflated in one call, several times faster than a stream.
constexpr std::uint64_t WholeLimit = 8u << 20;
constexpr std::size_t Stretch = 1u << 20;

DataProblem damaged(const QString& why)
{
    return { DataProblem::Kind::Damaged, why };
}

DataProblem systemProblem(DataProblem::Kind kind, int error)
{
    const QString text = SystemText(error);
    return { kind,
             kind == DataProblem::Kind::Unreadable ? QStringLiteral("the archive cannot be read: ") + text : text };
}

// False with errno set; a read past the end of the file is EIO.
bool readAt(int fd, std::uint8_t* buffer, std::size_t length, std::uint64_t offset)
{
    while (length > 0) {
        const ssize_t n = ::pread(fd, buffer, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        buffer += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<DataProblem> checked(const CentralEntry& entry, std::uint64_t size, std::uint32_t crc)
{
    if (size != entry.size)
        return damaged(QStringLiteral("it holds %1 bytes, not the %2 the archive says").arg(size).arg(entry.size));
    if (crc != entry.crc)
        return damaged(QStringLiteral("its data does not match its checksum"));
    return std::nullopt;
}

} // namespace

std::optional<QString> UnsupportedBecause(const CentralEntry& entry)
{
    if ((entry.flags & EncryptedFlag) != 0)
        return QStringLiteral("it is encrypted");
    if (entry.method != StoredMethod && entry.method != DeflateMethod)
        return QStringLiteral("it is compressed in a way this program cannot read (method %1)").arg(entry.method);
    return std::nullopt;
}

EntryExtractor::EntryExtractor()
    : m_inflater(libdeflate_alloc_decompressor())
{
    if (!m_inflater)
        throw std::bad_alloc();
}

EntryExtractor::~EntryExtractor()
{
    libdeflate_free_decompressor(m_inflater);
}

std::uint8_t* EntryExtractor::room(std::vector<std::uint8_t>& buffer, std::size_t size)
{
    if (buffer.size() < std::max<std::size_t>(size, 1))
        buffer.resize(std::max<std::size_t>(size, 1));
    return buffer.data();
}

std::optional<DataProblem> EntryExtractor::extract(const EntryData& data, int out, std::atomic<std::uint64_t>& written,
                                                   const std::atomic<bool>& cancelled)
{
    m_crc = 0;
    if (data.entry.method == StoredMethod)
        return copyStored(data, out, written, cancelled);
    if (data.entry.size <= WholeLimit && data.entry.compressedSize <= WholeLimit)
        return inflateWhole(data, out, written);
    return inflateStream(data, out, written, cancelled);
}

std::optional<DataProblem> EntryExtractor::copyStored(const EntryData& data, int out,
                                                      std::atomic<std::uint64_t>& written,
                                                      const std::atomic<bool>& cancelled)
{
    if (data.entry.compressedSize != data.entry.size)
        return damaged(QStringLiteral("its stored and its full size differ"));
    std::uint8_t* buffer = room(m_in, Stretch);
    for (std::uint64_t done = 0; done < data.entry.size;) {
        if (cancelled)
            return DataProblem { DataProblem::Kind::Cancelled, {} };
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(Stretch, data.entry.size - done));
        if (!readAt(data.archive, buffer, length, data.offset + done))
            return systemProblem(DataProblem::Kind::Unreadable, errno);
        m_crc = static_cast<std::uint32_t>(libdeflate_crc32(m_crc, buffer, length));
        if (!writeAll(out, buffer, length))
            return systemProblem(DataProblem::Kind::WriteFailed, errno);
        done += length;
        written += length;
    }
    return checked(data.entry, data.entry.size, m_crc);
}

std::optional<DataProblem> EntryExtractor::inflateWhole(const EntryData& data, int out,
                                                        std::atomic<std::uint64_t>& written)
{
    const auto compressedSize = static_cast<std::size_t>(data.entry.compressedSize);
    const auto size = static_cast<std::size_t>(data.entry.size);
    std::uint8_t* input = room(m_in, compressedSize);
    std::uint8_t* output = room(m_out, size);
    if (!readAt(data.archive, input, compressedSize, data.offset))
        return systemProblem(DataProblem::Kind::Unreadable, errno);
    std::size_t made = 0;
    switch (libdeflate_deflate_decompress_ex(m_inflater, input, compressedSize, output, size, nullptr, &made)) {
    case LIBDEFLATE_SUCCESS:
        break;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        return damaged(QStringLiteral("it holds more than the %1 bytes the archive says").arg(size));
    default:
        return damaged(QStringLiteral("its compressed data is damaged"));
    }
    m_crc = static_cast<std::uint32_t>(libdeflate_crc32(0, output, made));
    if (const std::optional<DataProblem> problem = checked(data.entry, made, m_crc))
        return problem;
    if (!writeAll(out, output, made))
        return systemProblem(DataProblem::Kind::WriteFailed, errno);
    written += made;
    return std::nullopt;
}

std::optional<DataProblem> EntryExtractor::inflateStream(const EntryData& data, int out,
                                                         std::atomic<std::uint64_t>& written,
                                                         const std::atomic<bool>& cancelled)
{
    struct Stream
    {
        z_stream z {};
        bool ready = inflateInit2(&z, -MAX_WBITS) == Z_OK;
        ~Stream()
        {
            if (ready)
                inflateEnd(&z);
        }
    } stream;
    if (!stream.ready)
        throw std::bad_alloc();
    z_stream& z = stream.z;
    std::uint8_t* input = room(m_in, Stretch);
    std::uint8_t* output = room(m_out, Stretch);
    std::uint64_t read = 0;
    std::uint64_t made = 0;
    for (int result = Z_OK; result != Z_STREAM_END;) {
        if (cancelled)
            return DataProblem { DataProblem::Kind::Cancelled, {} };
        if (z.avail_in == 0 && read < data.entry.compressedSize) {
            const auto length
                = static_cast<std::size_t>(std::min<std::uint64_t>(Stretch, data.entry.compressedSize - read));
            if (!readAt(data.archive, input, length, data.offset + read))
                return systemProblem(DataProblem::Kind::Unreadable, errno);
            read += length;
            z.next_in = input;
            z.avail_in = static_cast<uInt>(length);
        }
        z.next_out = output;
        z.avail_out = static_cast<uInt>(Stretch);
        result = inflate(&z, Z_NO_FLUSH);
        // With all its bytes read and no room wanting, the stream has nothing more to give.
        if (result == Z_BUF_ERROR)
            return damaged(QStringLiteral("its compressed data ends early"));
        if (result != Z_OK && result != Z_STREAM_END)
            return damaged(QStringLiteral("its compressed data is damaged"));
        const std::size_t length = Stretch - z.avail_out;
        if (made + length > data.entry.size)
            return damaged(QStringLiteral("it holds more than the %1 bytes the archive says").arg(data.entry.size));
        m_crc = static_cast<std::uint32_t>(libdeflate_crc32(m_crc, output, length));
        if (!writeAll(out, output, length))
            return systemProblem(DataProblem::Kind::WriteFailed, errno);
        made += length;
        written += length;
    }
    return checked(data.entry, made, m_crc);
}
