#include "zip/ZipEngine.h"

#include "app/NativePath.h"
#include "zip/ArchiveCheck.h"
#include "zip/ArchiveSink.h"
#include "zip/ArchiveTemporary.h"
#include "zip/CodeModule.h"
#include "zip/SourceFile.h"
#include "zip/ZipCancel.h"
#include "zip/ZipExpand.h"
#include "zip/ZipPipeline.h"
#include "zip/ZipTime.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <cstring>
#include <memory>
#include <zip.h>

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

ZipStageProbe& stageProbe()
{
    static ZipStageProbe probe;
    return probe;
}

void reachStage(ZipStage stage, const QString& path)
{
    if (stageProbe())
        stageProbe()(stage, path);
}

// One file entry as libzip sees it: compressed data made by the pipeline, copied as it is.
struct FileSource
{
    CompressionPipeline* pipeline = nullptr;
    const ZipItem* item = nullptr;
    time_t mtime = 0;
    int file = 0;
    bool finished = false;
    zip_error_t error;
};

zip_int64_t fileSourceCallback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<FileSource*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->finished = false;
        return 0;
    case ZIP_SOURCE_READ: {
        const std::int64_t n
            = source->pipeline->read(source->file, static_cast<std::uint8_t*>(data), static_cast<std::int64_t>(length));
        if (n < 0) {
            zip_error_set(&source->error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        if (n == 0)
            source->finished = true;
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME;
        st->comp_method = ZIP_CM_DEFLATE;
        st->mtime = source->mtime;
        st->size = static_cast<zip_uint64_t>(source->item->size);
        if (source->finished) {
            // Asked again once the data is written: the true figures go into the headers.
            const auto& outcome = source->pipeline->outcome(source->file);
            st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
            st->size = static_cast<zip_uint64_t>(outcome.size);
            st->comp_size = static_cast<zip_uint64_t>(outcome.compressedSize);
            st->crc = outcome.crc;
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_READABLE;
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

int cancelCallback(zip_t*, void*)
{
    return ZipCancelRequested() ? 1 : 0;
}

zip_uint32_t externalAttributes(const ZipItem& item)
{
    // Unix mode in the high half; the folder flag others read in the low half.
    return (item.mode << 16) | (item.isDir ? 0x10u : 0u);
}

class Engine
{
public:
    Engine(const ZipJob& job, const ZipLineSink& print)
        : m_job(job)
        , m_print(print)
    { }

    std::int32_t run()
    {
        if (m_job.archivePath.trimmed().isEmpty()) {
            line(QStringLiteral("no archive name given"));
            return ZipCode::BadArguments;
        }
        m_target = QDir::cleanPath(QDir::current().absoluteFilePath(m_job.archivePath));
        m_folder = QFileInfo(m_target).absolutePath();

        ZipJob job = m_job;
        job.archivePath = m_target;
        ZipExpansion expansion = ExpandNames(job, [] { return ZipCancelRequested(); });
        for (const QString& warning : expansion.warnings)
            line(warning);
        m_warnings = !expansion.warnings.isEmpty();
        if (expansion.cancelled || ZipCancelRequested())
            return cancelled();
        m_items = std::move(expansion.items);

        if ((m_job.update || m_job.freshen) && QFileInfo::exists(m_target))
            return updateArchive();
        if (m_items.empty())
            return nothingToDo();
        return writeArchive({});
    }

private:
    void line(const QString& text) { m_print(text + u'\n'); }

    std::int32_t cancelled()
    {
        line(QStringLiteral("cancelled: %1 was left as it was").arg(m_target));
        return ZipCode::Cancelled;
    }

    std::int32_t nothingToDo()
    {
        line(QStringLiteral("nothing to do: no file to archive, %1 was left as it was").arg(m_target));
        return ZipCode::NothingToDo;
    }

    std::int32_t finished() { return m_warnings ? ZipCode::FilesSkipped : ZipCode::Ok; }

    QString zipErrorText(zip_error_t* error, const QString& path)
    {
        const int code = zip_error_code_zip(error);
        const int system = zip_error_code_system(error);
        const QString reason = zip_error_system_type(error) == ZIP_ET_SYS && system != 0
            ? systemText(system)
            : QString::fromLocal8Bit(zip_error_strerror(error));
        switch (code) {
        case ZIP_ER_TMPOPEN:
        case ZIP_ER_OPEN:
            return QStringLiteral("could not create a file in %1: %2").arg(m_folder, reason);
        case ZIP_ER_WRITE:
        case ZIP_ER_CLOSE:
        case ZIP_ER_SEEK:
            return QStringLiteral("write error: %1: %2").arg(path, reason);
        case ZIP_ER_RENAME:
            return QStringLiteral("could not rename the new archive in %1: %2").arg(m_folder, reason);
        default:
            return QStringLiteral("could not write %1: %2").arg(path, reason);
        }
    }

    std::unique_ptr<ArchiveTemporary> createTemporary()
    {
        QString error;
        std::unique_ptr<ArchiveTemporary> temporary = ArchiveTemporary::create(m_folder, error);
        if (!temporary)
            line(QStringLiteral("could not create a file in %1: %2").arg(m_folder, error));
        return temporary;
    }

    // libzip writing into the temporary through our sink; null after a line saying why.
    zip_t* openForWriting(ArchiveTemporary& temporary)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* sink = CreateArchiveSink(temporary, &error);
        zip_t* za = sink ? zip_open_from_source(sink, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
        if (!za) {
            if (sink)
                zip_source_free(sink);
            line(zipErrorText(&error, temporary.path()));
        }
        zip_error_fini(&error);
        if (za)
            zip_register_cancel_callback_with_state(za, cancelCallback, nullptr, nullptr);
        return za;
    }

    // Closes (writes) the archive; on failure the temporary is gone and a line says why.
    std::int32_t close(zip_t* za, const ArchiveTemporary& temporary)
    {
        if (zip_close(za) == 0) {
            reachStage(ZipStage::Written, temporary.path());
            return ZipCode::Ok;
        }
        const bool wasCancelled = zip_error_code_zip(zip_get_error(za)) == ZIP_ER_CANCELLED || ZipCancelRequested();
        const QString text = zipErrorText(zip_get_error(za), temporary.path());
        zip_discard(za);
        if (wasCancelled)
            return cancelled();
        line(text);
        return ZipCode::WriteError;
    }

    // The items that are files, by their place in m_items.
    std::vector<int> fileIndexes() const
    {
        std::vector<int> files;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (!m_items[i].isDir)
                files.push_back(static_cast<int>(i));
        }
        return files;
    }

    // Every file is opened before any entry is written, so one that cannot be read at all is
    // simply left out; the first ones stay open for the pipeline.
    std::vector<int> openFiles(int threads)
    {
        const std::vector<int> files = fileIndexes();
        const std::vector<SourceFile> sources
            = OpenSourceFiles(m_items, files, threads, SourceFilesToHold(), [] { return ZipCancelRequested(); });
        std::vector<ZipItem> readable;
        std::vector<int> descriptors;
        std::size_t next = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].isDir) {
                readable.push_back(std::move(m_items[i]));
                continue;
            }
            const SourceFile& source = sources[next++];
            if (!source.warning.isEmpty()) {
                line(source.warning);
                m_warnings = true;
                continue;
            }
            readable.push_back(std::move(m_items[i]));
            descriptors.push_back(source.fd);
        }
        m_items = std::move(readable);
        return descriptors;
    }

    // Writes the items (files compressed by the pipeline) after the entries kept from an older
    // archive into a temporary of its own, reads it back, then puts it in the target's place.
    std::int32_t writeArchive(const std::vector<std::pair<zip_t*, zip_uint64_t>>& kept)
    {
        SweepStaleTemporaries(m_folder);
        reachStage(ZipStage::Expanded, m_target);
        const int threads = m_job.threads > 0 ? m_job.threads : std::max(1, QThread::idealThreadCount());
        HeldFiles held(openFiles(threads));
        if (ZipCancelRequested())
            return cancelled();
        if (m_items.empty() && kept.empty())
            return nothingToDo();
        std::unique_ptr<ArchiveTemporary> temporary = createTemporary();
        if (!temporary)
            return ZipCode::WriteError;
        ExpectedEntries expected;
        QSet<QByteArray> failed;
        std::int32_t result = writeEntries(*temporary, kept, held, threads, expected, failed);
        if (result != ZipCode::Ok)
            return result;
        if (!failed.isEmpty()) {
            // Files that failed part way through are taken out again (a full rewrite, which a
            // file that could not be read at all never needs), so every entry is whole.
            m_warnings = true;
            if (expected.isEmpty())
                return nothingToDo();
            result = dropEntries(temporary, failed);
            if (result != ZipCode::Ok)
                return result;
        }
        const ArchiveCheckResult check
            = CheckArchive(temporary->path(), expected, threads, [] { return ZipCancelRequested(); });
        if (check.cancelled)
            return cancelled();
        if (!check.problem.isEmpty()) {
            line(QStringLiteral("the new archive did not read back intact, %1 was left as it was: %2")
                     .arg(m_target, check.problem));
            return ZipCode::WriteError;
        }
        return replaceTarget(*temporary);
    }

    std::int32_t writeEntries(ArchiveTemporary& temporary, const std::vector<std::pair<zip_t*, zip_uint64_t>>& kept,
                              HeldFiles& held, int threads, ExpectedEntries& expected, QSet<QByteArray>& failed)
    {
        zip_t* za = openForWriting(temporary);
        if (!za)
            return ZipCode::WriteError;
        const std::vector<int> files = fileIndexes();
        CompressionPipeline::Settings settings;
        settings.threads = threads;
        CompressionPipeline pipeline(m_items, files, held.release(), settings, [] { return ZipCancelRequested(); });

        for (const auto& [oldArchive, oldIndex] : kept) {
            zip_source_t* source = zip_source_zip(za, oldArchive, oldIndex, 0, 0, -1);
            const char* name = zip_get_name(oldArchive, oldIndex, ZIP_FL_ENC_RAW);
            zip_int64_t index = source && name ? zip_file_add(za, name, source, ZIP_FL_ENC_UTF_8) : -1;
            if (index < 0) {
                if (source)
                    zip_source_free(source);
                line(QStringLiteral("could not keep %1 from the old archive: %2")
                         .arg(QString::fromUtf8(name ? name : ""), QString::fromLocal8Bit(zip_strerror(za))));
                zip_discard(za);
                return ZipCode::WriteError;
            }
            zip_stat_t st;
            if (zip_stat_index(oldArchive, oldIndex, ZIP_FL_ENC_RAW, &st) == 0)
                expected.insert(QByteArray(name), ExpectedEntry { st.crc, static_cast<std::int64_t>(st.size), {} });
            zip_uint8_t opsys = 0;
            zip_uint32_t attributes = 0;
            if (zip_file_get_external_attributes(oldArchive, oldIndex, 0, &opsys, &attributes) == 0)
                zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, opsys, attributes);
        }
        const ZipTimeRange times;
        int fileNumber = 0;
        for (const ZipItem& item : m_items) {
            zip_int64_t index = -1;
            const time_t mtime = times.clamp(item.mtime);
            if (item.isDir) {
                index = zip_dir_add(za, item.name.constData(), ZIP_FL_ENC_UTF_8);
                expected.insert(item.name, ExpectedEntry {});
            } else {
                auto* context = new FileSource;
                context->pipeline = &pipeline;
                context->item = &item;
                context->mtime = mtime;
                context->file = fileNumber++;
                zip_error_init(&context->error);
                zip_source_t* source = zip_source_function(za, fileSourceCallback, context);
                if (!source) {
                    delete context;
                } else {
                    index = zip_file_add(za, item.name.constData(), source, ZIP_FL_ENC_UTF_8);
                    if (index < 0)
                        zip_source_free(source);
                }
            }
            if (index < 0) {
                line(QStringLiteral("could not add %1: %2").arg(item.path, QString::fromLocal8Bit(zip_strerror(za))));
                zip_discard(za);
                return ZipCode::InternalError;
            }
            zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), mtime, 0);
            zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             externalAttributes(item));
        }

        pipeline.start();
        const std::int32_t closed = close(za, temporary);
        pipeline.stop();
        if (closed != ZipCode::Ok)
            return closed;
        for (std::size_t f = 0; f < files.size(); ++f) {
            const auto& outcome = pipeline.outcome(static_cast<int>(f));
            const ZipItem& item = m_items[static_cast<std::size_t>(files[f])];
            if (outcome.failed) {
                line(outcome.error);
                failed.insert(item.name);
            } else {
                expected.insert(item.name, ExpectedEntry { outcome.crc, outcome.size, outcome.pieces });
            }
        }
        return ZipCode::Ok;
    }

    // Replaces the written archive by a copy without the named entries, in a temporary of its own;
    // the other entries' compressed data is copied as it is.
    std::int32_t dropEntries(std::unique_ptr<ArchiveTemporary>& written, const QSet<QByteArray>& dropped)
    {
        int openError = 0;
        zip_t* from = zip_open(NativePath(written->path()).constData(), ZIP_RDONLY, &openError);
        if (!from) {
            line(QStringLiteral("could not reopen %1").arg(written->path()));
            return ZipCode::WriteError;
        }
        std::unique_ptr<ArchiveTemporary> copy = createTemporary();
        zip_t* za = copy ? openForWriting(*copy) : nullptr;
        std::int32_t result = ZipCode::WriteError;
        if (za) {
            const zip_int64_t count = zip_get_num_entries(from, 0);
            bool added = true;
            for (zip_int64_t i = 0; i < count && added; ++i) {
                const auto index = static_cast<zip_uint64_t>(i);
                zip_stat_t st;
                if (zip_stat_index(from, index, ZIP_FL_ENC_RAW, &st) != 0 || dropped.contains(QByteArray(st.name)))
                    continue;
                zip_source_t* source = zip_source_zip(za, from, index, 0, 0, -1);
                const zip_int64_t to = source ? zip_file_add(za, st.name, source, ZIP_FL_ENC_UTF_8) : -1;
                added = to >= 0;
                if (!added) {
                    if (source)
                        zip_source_free(source);
                    line(QStringLiteral("could not add %1: %2")
                             .arg(PathFromNative(QByteArray(st.name)), QString::fromLocal8Bit(zip_strerror(za))));
                    zip_discard(za);
                    break;
                }
                zip_file_set_mtime(za, static_cast<zip_uint64_t>(to), st.mtime, 0);
                zip_uint8_t opsys = 0;
                zip_uint32_t attributes = 0;
                if (zip_file_get_external_attributes(from, index, 0, &opsys, &attributes) == 0)
                    zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(to), 0, opsys, attributes);
            }
            if (added)
                result = close(za, *copy);
        }
        zip_discard(from);
        if (result == ZipCode::Ok)
            written = std::move(copy);
        return result;
    }

    // The finished temporary takes the target's place in one step.
    std::int32_t replaceTarget(ArchiveTemporary& temporary)
    {
        if (ZipCancelRequested())
            return cancelled();
        QString error;
        if (!temporary.replace(m_target, error)) {
            line(QStringLiteral("could not replace %1: %2").arg(m_target, error));
            return ZipCode::WriteError;
        }
        return finished();
    }

    // Update and freshen: entries of the old archive that are not older than their files stay as
    // they are; newer files replace theirs; update also adds new files.
    std::int32_t updateArchive()
    {
        int openError = 0;
        zip_t* old = zip_open(QFile::encodeName(m_target).constData(), ZIP_RDONLY, &openError);
        if (!old) {
            zip_error_t error;
            zip_error_init_with_code(&error, openError);
            line(QStringLiteral("could not read the old archive %1: %2")
                     .arg(m_target, QString::fromLocal8Bit(zip_error_strerror(&error))));
            zip_error_fini(&error);
            return ZipCode::WriteError;
        }
        QHash<QByteArray, std::size_t> itemByName;
        for (std::size_t i = 0; i < m_items.size(); ++i)
            itemByName.insert(m_items[i].name, i);

        std::vector<std::pair<zip_t*, zip_uint64_t>> kept;
        std::vector<bool> replaced(m_items.size(), false);
        bool changed = false;
        const zip_int64_t count = zip_get_num_entries(old, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t st;
            if (zip_stat_index(old, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0)
                continue;
            const auto found = itemByName.constFind(QByteArray(st.name));
            if (found != itemByName.constEnd()) {
                const ZipItem& item = m_items[found.value()];
                // Stored times have a resolution of two seconds.
                if (item.isDir || item.mtime <= static_cast<qint64>(st.mtime) + 1) {
                    replaced[found.value()] = true; // the old entry is current
                    kept.emplace_back(old, static_cast<zip_uint64_t>(i));
                    continue;
                }
                changed = true; // a newer file replaces this entry
                continue;
            }
            kept.emplace_back(old, static_cast<zip_uint64_t>(i));
        }
        std::vector<ZipItem> fresh;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (replaced[i])
                continue;
            const bool inOld = zip_name_locate(old, m_items[i].name.constData(), ZIP_FL_ENC_RAW) >= 0;
            if (m_job.freshen && !inOld)
                continue;
            fresh.push_back(m_items[i]);
            changed = true;
        }
        if (!changed) {
            zip_discard(old);
            if (m_items.empty())
                return nothingToDo();
            return finished(); // everything is current: the archive stays as it is
        }
        m_items = std::move(fresh);
        const std::int32_t result = writeArchive(kept);
        zip_discard(old);
        return result;
    }

    const ZipJob& m_job;
    const ZipLineSink& m_print;
    QString m_target;
    QString m_folder;
    std::vector<ZipItem> m_items;
    bool m_warnings = false;
};

} // namespace

void SetZipStageProbe(ZipStageProbe probe)
{
    stageProbe() = std::move(probe);
}

std::int32_t RunZipJob(const ZipJob& job, const ZipLineSink& print)
{
    try {
        return Engine(job, print).run();
    } catch (const std::exception& e) {
        print(QStringLiteral("internal error: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return ZipCode::InternalError;
    }
}
