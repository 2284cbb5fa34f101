#include "zip/ArchiveCheck.h"

#include "base/NativePath.h"
#include "zip/ArchiveFile.h"
#include "zip/ZipDirectory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace {

// Entries whose pieces are not known are inflated in one call from memory (several times faster
// than a stream) up to this size; larger ones are streamed, so memory stays flat.
constexpr zip_uint64_t WholeLimit = 16u << 20;
constexpr std::size_t Chunk = 1u << 20;
// Entries checked and inflated together; the directory is read a batch at a time.
constexpr std::size_t Batch = 4096;

// Room that grows and is never cleared: every byte is written before it is read.
class Buffer
{
public:
    std::uint8_t* reserve(std::size_t size)
    {
        if (size > m_capacity) {
            m_capacity = std::max(size, m_capacity + m_capacity / 2);
            m_data.reset(new std::uint8_t[m_capacity]);
        }
        return m_data.get();
    }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_capacity = 0;
};

struct Archive
{
    zip_t* handle = nullptr;
    ~Archive()
    {
        if (handle)
            zip_discard(handle);
    }
};

class Checker
{
public:
    Checker(const QString& path, const ExpectedEntries& expected, std::uint32_t fileCrc,
            const std::function<bool()>& cancelled)
        : m_file(NativePath(path))
        , m_expected(expected)
        , m_fileCrc(fileCrc)
        , m_cancelled(cancelled)
    { }

    ArchiveCheckResult run(int threads)
    {
        if (m_file.error() != 0) {
            fail(QStringLiteral("it cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(m_file.error()))));
            return result();
        }
        if (checkEntries(threads) && !stopping())
            checkEveryByte(threads);
        return result();
    }

private:
    // Every entry and nothing else, each local header agreeing with the directory, which holds
    // the CRC and size that were read, and the data of entries written now inflated to them. The
    // directory is read and its entries checked a batch at a time, in little memory.
    bool checkEntries(int threads)
    {
        CentralDirectory frame;
        std::uint64_t index = 0;
        QByteArray header;
        const bool read = ReadCentralEntries(m_file.descriptor(), frame, [&](CentralEntry&& entry) {
            if (!sameCount(frame.count) || !checkEntry(frame, entry, index++, header))
                return false;
            if (m_toInflate.size() >= Batch)
                inflateBatch(threads);
            return !stopping();
        });
        if (stopping())
            return false;
        if (!read || !sameCount(frame.count)) {
            fail(QStringLiteral("its directory cannot be read"));
            return false;
        }
        inflateBatch(threads);
        return !stopping();
    }

    bool sameCount(std::uint64_t count)
    {
        if (count == static_cast<std::uint64_t>(m_expected.size()))
            return true;
        fail(QStringLiteral("it holds %1 entries instead of %2").arg(count).arg(m_expected.size()));
        return false;
    }

    bool checkEntry(const CentralDirectory& frame, const CentralEntry& entry, std::uint64_t index, QByteArray& header)
    {
        const auto found = m_expected.constFind(entry.name);
        if (found == m_expected.constEnd()) {
            fail(QStringLiteral("%1: an entry that was not written").arg(PathFromNative(entry.name)));
            return false;
        }
        std::uint64_t dataOffset = 0;
        if (entry.crc != found->crc || static_cast<std::int64_t>(entry.size) != found->size
            || !LocateEntryData(m_file.descriptor(), frame, entry, dataOffset, header)
            || (found->copied
                && (found->copied->offset != dataOffset || found->copied->length != entry.compressedSize))) {
            fail(QStringLiteral("%1: its headers do not match what was read").arg(PathFromNative(entry.name)));
            return false;
        }
        if (!found->copied && entry.compressedSize > 0)
            m_toInflate.push_back({ static_cast<zip_uint64_t>(index), entry.name, dataOffset, entry.compressedSize,
                                    entry.method, &*found });
        return true;
    }

    // The entries gathered so far, inflated on `threads` threads.
    void inflateBatch(int threads)
    {
        m_next = 0;
        std::vector<std::thread> workers;
        for (int i = 1; i < std::min<int>(std::max(1, threads), static_cast<int>(m_toInflate.size())); ++i)
            workers.emplace_back([this] { work(); });
        work();
        for (std::thread& worker : workers)
            worker.join();
        m_toInflate.clear();
    }

    // Every byte of the file, and copied data as its records say.
    bool checkEveryByte(int threads)
    {
        std::vector<std::pair<const QByteArray*, RecordedData>> copied;
        for (auto it = m_expected.cbegin(); it != m_expected.cend(); ++it) {
            if (it->copied)
                copied.push_back({ &it.key(), *it->copied });
        }
        std::sort(copied.begin(), copied.end(),
                  [](const auto& a, const auto& b) { return a.second.offset < b.second.offset; });
        std::vector<RecordedData> stretches;
        for (const auto& entry : copied)
            stretches.push_back(entry.second);
        struct stat st;
        if (::fstat(m_file.descriptor(), &st) != 0) {
            fail(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        const FilePassResult pass = ReadWholeFile(m_file.descriptor(), static_cast<std::uint64_t>(st.st_size),
                                                  stretches, threads, m_cancelled);
        if (stopping())
            return false;
        if (!pass.readable) {
            fail(QStringLiteral("it cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        for (const std::size_t damaged : pass.damaged)
            m_damagedCopies.push_back(*copied[damaged].first);
        if (!m_damagedCopies.empty()) {
            fail(QStringLiteral("data copied from the earlier archive does not match its record"));
            return false;
        }
        if (pass.crc != m_fileCrc) {
            m_bytesDiffer = true;
            fail(QStringLiteral("its bytes are not the ones that were written"));
            return false;
        }
        return true;
    }

    bool open(Archive& archive)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = m_file.source(&error);
        archive.handle = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
        if (!archive.handle) {
            if (source)
                zip_source_free(source);
            fail(QStringLiteral("it cannot be opened: %1").arg(QString::fromLocal8Bit(zip_error_strerror(&error))));
        }
        zip_error_fini(&error);
        return archive.handle != nullptr;
    }

    void fail(const QString& problem)
    {
        std::lock_guard lock(m_mutex);
        if (m_problem.isEmpty())
            m_problem = problem;
        m_stop = true;
    }

    bool stopping()
    {
        if (m_cancelled()) {
            m_wasCancelled = true;
            m_stop = true;
        }
        return m_stop;
    }

    ArchiveCheckResult result()
    {
        ArchiveCheckResult out;
        out.cancelled = m_wasCancelled;
        out.damagedCopies = m_damagedCopies;
        out.bytesDiffer = m_bytesDiffer;
        if (!out.cancelled)
            out.problem = m_problem;
        return out;
    }

    void work()
    {
        Buffer in;
        Buffer out;
        std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
            libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
        if (!inflater) {
            fail(QStringLiteral("out of memory"));
            return;
        }
        Archive other; // for methods of other programs' archives, opened when one comes
        for (std::size_t next = m_next++; next < m_toInflate.size() && !stopping(); next = m_next++) {
            const Written& entry = m_toInflate[next];
            std::uint32_t crc = 0;
            std::int64_t size = 0;
            QString error;
            if (entry.method == ZIP_CM_DEFLATE || entry.method == ZIP_CM_STORE) {
                RawData data { m_file.descriptor(), entry.dataOffset, entry.compressedSize };
                // Data of unknown pieces is one piece when it is small enough to inflate in one call.
                const std::vector<DeflatePiece> whole { { static_cast<std::int64_t>(entry.compressedSize),
                                                          entry.expected->size } };
                const std::vector<DeflatePiece>& pieces
                    = entry.expected->pieces.empty() ? whole : entry.expected->pieces;
                const bool inPieces = entry.method == ZIP_CM_DEFLATE
                    && (!entry.expected->pieces.empty()
                        || (static_cast<std::uint64_t>(entry.expected->size) <= WholeLimit
                            && entry.compressedSize <= WholeLimit));
                error = inPieces ? inflatePieces(data, pieces, *inflater, in, out, crc, size)
                                 : inflateStream(data, entry.method == ZIP_CM_DEFLATE, in, out, crc, size);
            } else if (other.handle || open(other)) {
                error = readThroughLibrary(other, entry.index, in, crc, size);
            } else {
                return;
            }
            if (!error.isEmpty()) {
                fail(QStringLiteral("%1: its data cannot be read back: %2").arg(PathFromNative(entry.name), error));
                return;
            }
            if (crc != entry.expected->crc || size != entry.expected->size) {
                fail(QStringLiteral("%1: its data does not match what was read").arg(PathFromNative(entry.name)));
                return;
            }
        }
    }

    // The compressed bytes of one entry, read from the file a stretch at a time.
    struct RawData
    {
        int fd;
        std::uint64_t offset;
        std::uint64_t left;

        // Returns the count read (less only at the end), or -1.
        std::int64_t read(std::uint8_t* buffer, std::size_t length)
        {
            length = static_cast<std::size_t>(std::min<std::uint64_t>(length, left));
            std::size_t done = 0;
            while (done < length) {
                const ssize_t n = ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return -1;
                done += static_cast<std::size_t>(n);
                offset += static_cast<std::uint64_t>(n);
            }
            left -= done;
            return static_cast<std::int64_t>(done);
        }
    };

    // Raw compressed data read a piece at a time and each piece inflated in one call. A piece
    // that is not the last must stop exactly at its end without closing the stream: a closing
    // block is put after it for the inflater, and must be the one that ends it. Returns what went
    // wrong, if anything.
    QString inflatePieces(RawData& data, const std::vector<DeflatePiece>& pieces, libdeflate_decompressor& inflater,
                          Buffer& in, Buffer& out, std::uint32_t& crc, std::int64_t& size)
    {
        static constexpr std::uint8_t closing[] = { 0x01, 0x00, 0x00, 0xff, 0xff };
        std::int64_t total = 0;
        for (const DeflatePiece& piece : pieces)
            total += piece.compressedSize;
        if (total != static_cast<std::int64_t>(data.left))
            return QStringLiteral("its compressed size is not what was written");
        for (std::size_t p = 0; p < pieces.size() && !stopping(); ++p) {
            const auto length = static_cast<std::size_t>(pieces[p].compressedSize);
            const auto expected = static_cast<std::size_t>(pieces[p].size);
            const bool last = p + 1 == pieces.size();
            std::uint8_t* input = in.reserve(length + sizeof(closing));
            std::uint8_t* output = out.reserve(expected);
            if (data.read(input, length) != static_cast<std::int64_t>(length))
                return QString::fromLocal8Bit(std::strerror(errno));
            const std::size_t available = last ? length : length + sizeof(closing);
            if (!last)
                std::memcpy(input + length, closing, sizeof(closing));
            std::size_t used = 0;
            std::size_t made = 0;
            if (libdeflate_deflate_decompress_ex(&inflater, input, available, output, expected, &used, &made)
                    != LIBDEFLATE_SUCCESS
                || used != available || made != expected)
                return QStringLiteral("the compressed data is damaged");
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, output, made));
            size += static_cast<std::int64_t>(made);
        }
        return {};
    }

    // Deflate or stored data of any size, a chunk at a time.
    QString inflateStream(RawData& data, bool deflated, Buffer& in, Buffer& out, std::uint32_t& crc, std::int64_t& size)
    {
        std::uint8_t* input = in.reserve(Chunk);
        std::uint8_t* output = out.reserve(Chunk);
        z_stream z {};
        bool ended = !deflated;
        QString error = deflated && inflateInit2(&z, -MAX_WBITS) != Z_OK ? QStringLiteral("out of memory") : QString();
        std::int64_t got = 0;
        while (error.isEmpty() && !stopping() && (got = data.read(input, Chunk)) > 0) {
            if (!deflated) {
                crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, input, static_cast<std::size_t>(got)));
                size += got;
                continue;
            }
            z.next_in = input;
            z.avail_in = static_cast<uInt>(got);
            while (z.avail_in > 0 && error.isEmpty()) {
                if (ended) {
                    error = QStringLiteral("the compressed data goes on after its end");
                    break;
                }
                z.next_out = output;
                z.avail_out = static_cast<uInt>(Chunk);
                const int result = inflate(&z, Z_NO_FLUSH);
                if (result != Z_OK && result != Z_STREAM_END)
                    error = QStringLiteral("the compressed data is damaged");
                ended = result == Z_STREAM_END;
                const std::size_t made = Chunk - z.avail_out;
                crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, output, made));
                size += static_cast<std::int64_t>(made);
            }
        }
        if (error.isEmpty() && got < 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
        if (error.isEmpty() && !ended && !stopping())
            error = QStringLiteral("the compressed data ends early");
        if (deflated)
            inflateEnd(&z);
        return error;
    }

    // Entries kept from another program's archive in a method of its own, through libzip.
    QString readThroughLibrary(Archive& archive, zip_uint64_t index, Buffer& in, std::uint32_t& crc, std::int64_t& size)
    {
        zip_file_t* file = zip_fopen_index(archive.handle, index, 0);
        if (!file)
            return QString::fromLocal8Bit(zip_strerror(archive.handle));
        std::uint8_t* input = in.reserve(Chunk);
        zip_int64_t got = 0;
        while (!stopping() && (got = zip_fread(file, input, Chunk)) > 0) {
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, input, static_cast<std::size_t>(got)));
            size += got;
        }
        const QString error = got < 0 ? QString::fromLocal8Bit(zip_file_strerror(file)) : QString();
        zip_fclose(file);
        return error;
    }

    ArchiveFile m_file;
    const ExpectedEntries& m_expected;
    std::uint32_t m_fileCrc;
    const std::function<bool()>& m_cancelled;
    // An entry written now, with data to inflate.
    struct Written
    {
        zip_uint64_t index;
        QByteArray name;
        std::uint64_t dataOffset;
        std::uint64_t compressedSize;
        std::uint16_t method;
        const ExpectedEntry* expected;
    };
    std::vector<Written> m_toInflate;
    std::atomic<std::size_t> m_next { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_wasCancelled { false };
    std::vector<QByteArray> m_damagedCopies;
    bool m_bytesDiffer = false;
    std::mutex m_mutex;
    QString m_problem;
};

} // namespace

ArchiveCheckResult CheckArchive(const QString& path, const ExpectedEntries& expected, std::uint32_t fileCrc,
                                int threads, const std::function<bool()>& cancelled)
{
    return Checker(path, expected, fileCrc, cancelled).run(threads);
}
