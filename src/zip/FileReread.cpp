#include "zip/FileReread.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Fills the buffer from the file as far as it goes; false on a read error.
bool fill(int fd, std::int64_t offset, std::vector<std::uint8_t>& buffer, std::size_t capacity)
{
    buffer.resize(capacity);
    std::size_t done = 0;
    while (done < capacity) {
        const ssize_t n = ::pread(fd, buffer.data() + done, capacity - done, static_cast<off_t>(offset) + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    buffer.resize(done);
    return true;
}

} // namespace

Reread CompressIntoWriter(const ZipItem& item, ZipWriter::Entry entry, ZipWriter& writer, DeflateWorker& deflater,
                          std::int64_t pieceSize, ChangeTimeTrust& trust)
{
    Reread out;
    out.source = OpenSourceFile(item);
    const int fd = out.source.fd;
    if (fd < 0) {
        out.readFailed = true;
        out.error = out.source.warning;
        out.written = true;
        return out;
    }
    entry.sizeHint = out.source.evidence.size;
    out.evidenceTrusted = trust.trusted(fd, out.source.device);
    out.written = writer.beginEntry(entry);
    const auto capacity = static_cast<std::size_t>(pieceSize);
    std::vector<std::uint8_t> piece;
    std::vector<std::uint8_t> next;
    std::vector<std::uint8_t> compressed;
    // One piece is read ahead, to know which one is the last.
    bool readable = out.written && fill(fd, 0, piece, capacity);
    while (readable && out.written) {
        readable
            = piece.size() < capacity || fill(fd, out.size + static_cast<std::int64_t>(piece.size()), next, capacity);
        const bool last = piece.size() < capacity || next.empty();
        if (!readable)
            break;
        deflater.compressPiece(piece.data(), piece.size(), last, compressed);
        out.crc = Crc32(out.crc, piece.data(), piece.size());
        out.size += static_cast<std::int64_t>(piece.size());
        out.compressedSize += static_cast<std::int64_t>(compressed.size());
        out.pieces.push_back({ static_cast<std::int64_t>(compressed.size()), static_cast<std::int64_t>(piece.size()) });
        out.written = writer.write(compressed.data(), compressed.size());
        if (last)
            break;
        piece.swap(next);
    }
    if (out.written && !readable) {
        out.readFailed = true;
        out.source.reason = QString::fromLocal8Bit(std::strerror(errno));
        out.error = QStringLiteral("could not read: %1: %2").arg(item.path, out.source.reason);
        writer.abandonEntry();
    }
    out.consistent
        = StillAsOpened(fd, out.source.evidence) && out.source.evidence.size == static_cast<std::uint64_t>(out.size);
    ::close(fd);
    out.source.fd = -1;
    return out;
}
