#include "zip/ArchiveCheck.h"

#include "app/NativePath.h"

#include <algorithm>
#include <atomic>
#include <libdeflate.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zip.h>

namespace {

// Entries up to this size are inflated in one call from memory (several times faster than a
// stream); larger ones are streamed, so memory stays flat.
constexpr zip_uint64_t WholeLimit = 32u << 20;
constexpr std::size_t Chunk = 1u << 20;

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
        : m_path(NativePath(path))
        , m_expected(expected)
        , m_cancelled(cancelled)
    { }

    ArchiveCheckResult run(int threads)
    {
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
        int error = 0;
        archive.handle = zip_open(m_path.constData(), ZIP_RDONLY | checks, &error);
        if (!archive.handle) {
            zip_error_t text;
            zip_error_init_with_code(&text, error);
            fail(QStringLiteral("it cannot be opened: %1").arg(QString::fromLocal8Bit(zip_error_strerror(&text))));
            zip_error_fini(&text);
        }
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
        if (!out.cancelled)
            out.problem = m_problem;
        return out;
    }

    void work(Archive& archive)
    {
        std::vector<std::uint8_t> in;
        std::vector<std::uint8_t> out;
        std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
            libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
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
            std::uint32_t crc = 0;
            std::int64_t size = 0;
            const bool whole = st.comp_method == ZIP_CM_DEFLATE && st.size <= WholeLimit && st.comp_size <= WholeLimit;
            const QString error = whole ? inflateWhole(archive, st, *inflater, in, out, crc, size)
                                        : inflateStream(archive, st, in, crc, size);
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

    // The compressed bytes, read raw and inflated in one call. Returns what went wrong, if anything.
    QString inflateWhole(Archive& archive, const zip_stat_t& st, libdeflate_decompressor& inflater,
                         std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out, std::uint32_t& crc,
                         std::int64_t& size)
    {
        in.resize(static_cast<std::size_t>(st.comp_size));
        out.resize(static_cast<std::size_t>(st.size));
        zip_file_t* file = zip_fopen_index(archive.handle, st.index, ZIP_FL_COMPRESSED);
        if (!file)
            return errorOf(archive.handle, nullptr);
        const zip_int64_t got = zip_fread(file, in.data(), in.size());
        const QString error = got == static_cast<zip_int64_t>(in.size()) ? QString() : errorOf(archive.handle, file);
        zip_fclose(file);
        if (!error.isEmpty())
            return error;
        std::size_t used = 0;
        std::size_t made = 0;
        // The stream must end exactly where the entry's data ends.
        if (libdeflate_deflate_decompress_ex(&inflater, in.data(), in.size(), out.data(), out.size(), &used, &made)
                != LIBDEFLATE_SUCCESS
            || used != in.size())
            return QStringLiteral("the compressed data is damaged");
        crc = static_cast<std::uint32_t>(libdeflate_crc32(0, out.data(), made));
        size = static_cast<std::int64_t>(made);
        return {};
    }

    // Any method, through libzip's own reader, a chunk at a time.
    QString inflateStream(Archive& archive, const zip_stat_t& st, std::vector<std::uint8_t>& buffer, std::uint32_t& crc,
                          std::int64_t& size)
    {
        buffer.resize(Chunk);
        zip_file_t* file = zip_fopen_index(archive.handle, st.index, 0);
        if (!file)
            return errorOf(archive.handle, nullptr);
        zip_int64_t got = 0;
        while (!stopping() && (got = zip_fread(file, buffer.data(), buffer.size())) > 0) {
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(got)));
            size += got;
        }
        const QString error = got < 0 ? errorOf(archive.handle, file) : QString();
        zip_fclose(file);
        return error;
    }

    QByteArray m_path;
    const ExpectedEntries& m_expected;
    const std::function<bool()>& m_cancelled;
    zip_int64_t m_count = 0;
    std::atomic<zip_int64_t> m_next { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_wasCancelled { false };
    std::mutex m_mutex;
    QString m_problem;
};

} // namespace

ArchiveCheckResult CheckArchive(const QString& path, const ExpectedEntries& expected, int threads,
                                const std::function<bool()>& cancelled)
{
    return Checker(path, expected, cancelled).run(threads);
}
