#include "zip/ArchiveCheck.h"

#include "app/NativePath.h"
#include "zip/ArchiveFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace {

// Entries whose pieces are not known are inflated in one call from memory (several times faster
// than a stream) up to this size; larger ones are streamed, so memory stays flat.
constexpr zip_uint64_t WholeLimit = 16u << 20;
constexpr std::size_t Chunk = 1u << 20;

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
    Checker(const QString& path, const ExpectedEntries& expected, const std::function<bool()>& cancelled)
        : m_file(NativePath(path))
        , m_expected(expected)
        , m_cancelled(cancelled)
    { }

    ArchiveCheckResult run(int threads)
    {
        if (m_file.error() != 0) {
            fail(QStringLiteral("it cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(m_file.error()))));
            return result();
        }
        Archive archive;
        if (!open(archive, ZIP_CHECKCONS))
            return result();
        const zip_int64_t count = zip_get_num_entries(archive.handle, 0);
        if (count != m_expected.size()) {
            fail(QStringLiteral("it holds %1 entries instead of %2").arg(count).arg(m_expected.size()));
            return result();
        }
        m_count = count;
        std::vector<std::thread> workers;
        for (int i = 1; i < std::max(1, threads); ++i)
            workers.emplace_back([this] {
                Archive own;
                if (open(own, 0))
                    work(own);
            });
        work(archive);
        for (std::thread& worker : workers)
            worker.join();
        return result();
    }

private:
    // The first opening also checks the archive's structure; the others only read.
    bool open(Archive& archive, int checks)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = m_file.source(&error);
        archive.handle = source ? zip_open_from_source(source, ZIP_RDONLY | checks, &error) : nullptr;
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
        out.copiedDataDamaged = m_copiedDataDamaged;
        if (!out.cancelled)
            out.problem = m_problem;
        return out;
    }

    void work(Archive& archive)
    {
        Buffer in;
        Buffer out;
        std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
            libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
        if (!inflater) {
            fail(QStringLiteral("out of memory"));
            return;
        }
        for (zip_int64_t i = m_next++; i < m_count && !stopping(); i = m_next++) {
            zip_stat_t st;
            if (zip_stat_index(archive.handle, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0) {
                fail(QStringLiteral("entry %1 cannot be read").arg(i));
                return;
            }
            const QByteArray name(st.name);
            const auto found = m_expected.constFind(name);
            if (found == m_expected.constEnd()) {
                fail(QStringLiteral("%1: an entry that was not written").arg(PathFromNative(name)));
                return;
            }
            if (st.crc != found->crc || static_cast<std::int64_t>(st.size) != found->size) {
                fail(QStringLiteral("%1: its headers do not match what was read").arg(PathFromNative(name)));
                return;
            }
            if (found->compressedCrc) {
                const QString error = checkCopied(archive, st, *found->compressedCrc, in);
                if (!error.isEmpty()) {
                    m_copiedDataDamaged = true;
                    fail(QStringLiteral("%1: %2").arg(PathFromNative(name), error));
                    return;
                }
                continue;
            }
            std::uint32_t crc = 0;
            std::int64_t size = 0;
            // Data of unknown pieces is one piece when it is small enough to inflate in one call.
            const std::vector<DeflatePiece> whole { { static_cast<std::int64_t>(st.comp_size), found->size } };
            const std::vector<DeflatePiece>& pieces = found->pieces.empty() ? whole : found->pieces;
            const bool inPieces = st.comp_method == ZIP_CM_DEFLATE
                && (!found->pieces.empty() || (st.size <= WholeLimit && st.comp_size <= WholeLimit));
            const QString error = inPieces ? inflatePieces(archive, st, pieces, *inflater, in, out, crc, size)
                                           : inflateStream(archive, st, in, out, crc, size);
            if (!error.isEmpty()) {
                fail(QStringLiteral("%1: its data cannot be read back: %2").arg(PathFromNative(name), error));
                return;
            }
            if (crc != found->crc || size != found->size) {
                fail(QStringLiteral("%1: its data does not match what was read").arg(PathFromNative(name)));
                return;
            }
        }
    }

    static QString errorOf(zip_t* archive, zip_file_t* file)
    {
        return QString::fromLocal8Bit(file ? zip_file_strerror(file) : zip_strerror(archive));
    }

    // Copied compressed bytes, summed as they lie in the file.
    QString checkCopied(Archive& archive, const zip_stat_t& st, std::uint32_t expectedCrc, Buffer& in)
    {
        zip_file_t* file = zip_fopen_index(archive.handle, st.index, ZIP_FL_COMPRESSED);
        if (!file)
            return QStringLiteral("its data cannot be read back: %1").arg(errorOf(archive.handle, nullptr));
        std::uint8_t* input = in.reserve(Chunk);
        std::uint32_t crc = 0;
        zip_uint64_t total = 0;
        zip_int64_t got = 0;
        while (!stopping() && (got = zip_fread(file, input, Chunk)) > 0) {
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, input, static_cast<std::size_t>(got)));
            total += static_cast<zip_uint64_t>(got);
        }
        const QString error = got < 0 ? errorOf(archive.handle, file) : QString();
        zip_fclose(file);
        if (!error.isEmpty())
            return QStringLiteral("its data cannot be read back: %1").arg(error);
        if (!stopping() && (crc != expectedCrc || total != st.comp_size))
            return QStringLiteral("its copied data does not match the archive it came from");
        return {};
    }

    // The compressed bytes, read raw and inflated in one call. Returns what went wrong, if anything.
    // Raw compressed data read a piece at a time and each piece inflated in one call. A piece
    // that is not the last must stop exactly at its end without closing the stream: a closing
    // block is put after it for the inflater, and must be the one that ends it.
    QString inflatePieces(Archive& archive, const zip_stat_t& st, const std::vector<DeflatePiece>& pieces,
                          libdeflate_decompressor& inflater, Buffer& in, Buffer& out, std::uint32_t& crc,
                          std::int64_t& size)
    {
        static constexpr std::uint8_t closing[] = { 0x01, 0x00, 0x00, 0xff, 0xff };
        std::int64_t total = 0;
        for (const DeflatePiece& piece : pieces)
            total += piece.compressedSize;
        if (total != static_cast<std::int64_t>(st.comp_size))
            return QStringLiteral("its compressed size is not what was written");
        zip_file_t* file = zip_fopen_index(archive.handle, st.index, ZIP_FL_COMPRESSED);
        if (!file)
            return errorOf(archive.handle, nullptr);
        QString error;
        for (std::size_t p = 0; p < pieces.size() && error.isEmpty() && !stopping(); ++p) {
            const auto length = static_cast<std::size_t>(pieces[p].compressedSize);
            const auto expected = static_cast<std::size_t>(pieces[p].size);
            const bool last = p + 1 == pieces.size();
            std::uint8_t* input = in.reserve(length + sizeof(closing));
            std::uint8_t* output = out.reserve(expected);
            if (zip_fread(file, input, length) != static_cast<zip_int64_t>(length)) {
                error = errorOf(archive.handle, file);
                break;
            }
            const std::size_t available = last ? length : length + sizeof(closing);
            if (!last)
                std::memcpy(input + length, closing, sizeof(closing));
            std::size_t used = 0;
            std::size_t made = 0;
            if (libdeflate_deflate_decompress_ex(&inflater, input, available, output, expected, &used, &made)
                    != LIBDEFLATE_SUCCESS
                || used != available || made != expected) {
                error = QStringLiteral("the compressed data is damaged");
                break;
            }
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, output, made));
            size += static_cast<std::int64_t>(made);
        }
        zip_fclose(file);
        return error;
    }

    // Any size, a chunk at a time: our own deflate and stored data raw from the file, inflated
    // here in large chunks; other methods (entries kept from an archive made elsewhere) through
    // libzip's own reader.
    QString inflateStream(Archive& archive, const zip_stat_t& st, Buffer& in, Buffer& out, std::uint32_t& crc,
                          std::int64_t& size)
    {
        const bool deflated = st.comp_method == ZIP_CM_DEFLATE;
        const bool raw = deflated || st.comp_method == ZIP_CM_STORE;
        zip_file_t* file = zip_fopen_index(archive.handle, st.index, raw ? ZIP_FL_COMPRESSED : 0);
        if (!file)
            return errorOf(archive.handle, nullptr);
        std::uint8_t* input = in.reserve(Chunk);
        std::uint8_t* output = out.reserve(Chunk);
        z_stream z {};
        bool ended = !deflated;
        QString error = deflated && inflateInit2(&z, -MAX_WBITS) != Z_OK ? QStringLiteral("out of memory") : QString();
        zip_int64_t got = 0;
        while (error.isEmpty() && !stopping() && (got = zip_fread(file, input, Chunk)) > 0) {
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
            error = errorOf(archive.handle, file);
        if (error.isEmpty() && !ended && !stopping())
            error = QStringLiteral("the compressed data ends early");
        if (deflated)
            inflateEnd(&z);
        zip_fclose(file);
        return error;
    }

    ArchiveFile m_file;
    const ExpectedEntries& m_expected;
    const std::function<bool()>& m_cancelled;
    zip_int64_t m_count = 0;
    std::atomic<zip_int64_t> m_next { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_wasCancelled { false };
    std::atomic<bool> m_copiedDataDamaged { false };
    std::mutex m_mutex;
    QString m_problem;
};

} // namespace

ArchiveCheckResult CheckArchive(const QString& path, const ExpectedEntries& expected, int threads,
                                const std::function<bool()>& cancelled)
{
    return Checker(path, expected, cancelled).run(threads);
}
