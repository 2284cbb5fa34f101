#include "zip/ZipEngine.h"

#include "zip/ArchiveSink.h"
#include "zip/CodeModule.h"
#include "zip/ZipCancel.h"
#include "zip/ZipExpand.h"
#include "zip/ZipPipeline.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Temporaries of one archive: ours, and the one libzip makes next to it while closing.
QString temporaryPath(const QString& target) { return target + QStringLiteral(".tessaly-tmp"); }

// A killed earlier run of the same archive may have left its temporaries behind.
void removeStaleTemporaries(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".tessaly-tmp");
    QDirIterator it(info.absolutePath(), {prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext())
        QFile::remove(it.next());
}

// Flushes a file, or a folder's list of names, to the disk.
bool syncPath(const QString& path, bool folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#else
    Q_UNUSED(path);
    Q_UNUSED(folder);
    return true;
#endif
}

// One file entry as libzip sees it: compressed data made by the pipeline, copied as it is.
struct FileSource
{
    CompressionPipeline* pipeline = nullptr;
    const ZipItem* item = nullptr;
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
        const std::int64_t n = source->pipeline->read(source->file, static_cast<std::uint8_t*>(data),
                                                     static_cast<std::int64_t>(length));
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
        st->mtime = static_cast<time_t>(source->item->mtime);
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

int cancelCallback(zip_t*, void*) { return ZipCancelRequested() ? 1 : 0; }

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
    {
    }

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
        for (const QString& note : expansion.notes)
            line(note);
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

    // Writes the items (files compressed by the pipeline) after the entries kept from an older
    // archive, into a temporary next to the target, then puts it in the target's place.
    std::int32_t writeArchive(const std::vector<std::pair<zip_t*, zip_uint64_t>>& kept)
    {
        removeStaleTemporaries(m_target);
        const QString temp = temporaryPath(m_target);
        zip_error_t openError;
        zip_error_init(&openError);
        zip_source_t* sink = CreateArchiveSink(temp, &openError);
        zip_t* za = sink ? zip_open_from_source(sink, ZIP_CREATE | ZIP_TRUNCATE, &openError) : nullptr;
        if (!za) {
            if (sink)
                zip_source_free(sink);
            line(zipErrorText(&openError, temp));
            zip_error_fini(&openError);
            return ZipCode::WriteError;
        }
        zip_error_fini(&openError);

        std::vector<int> files;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (!m_items[i].isDir)
                files.push_back(static_cast<int>(i));
        }
        CompressionPipeline::Settings settings;
        settings.threads = m_job.threads > 0 ? m_job.threads : std::max(1, QThread::idealThreadCount());
        CompressionPipeline pipeline(m_items, files, settings, [] { return ZipCancelRequested(); });

        std::vector<zip_int64_t> fileIndex(files.size(), -1);
        for (const auto& [oldArchive, oldIndex] : kept) {
            zip_source_t* source = zip_source_zip(za, oldArchive, oldIndex, 0, 0, -1);
            const char* name = zip_get_name(oldArchive, oldIndex, ZIP_FL_ENC_RAW);
            zip_int64_t index = source && name ? zip_file_add(za, name, source, ZIP_FL_ENC_GUESS) : -1;
            if (index < 0) {
                if (source)
                    zip_source_free(source);
                line(QStringLiteral("could not keep %1 from the old archive: %2")
                         .arg(QString::fromUtf8(name ? name : ""), QString::fromLocal8Bit(zip_strerror(za))));
                zip_discard(za);
                return ZipCode::WriteError;
            }
            zip_uint8_t opsys = 0;
            zip_uint32_t attributes = 0;
            if (zip_file_get_external_attributes(oldArchive, oldIndex, 0, &opsys, &attributes) == 0)
                zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, opsys, attributes);
        }
        int fileNumber = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const ZipItem& item = m_items[i];
            zip_int64_t index = -1;
            if (item.isDir) {
                index = zip_dir_add(za, item.name.constData(), ZIP_FL_ENC_GUESS);
            } else {
                auto* context = new FileSource;
                context->pipeline = &pipeline;
                context->item = &item;
                context->file = fileNumber;
                zip_error_init(&context->error);
                zip_source_t* source = zip_source_function(za, fileSourceCallback, context);
                if (!source) {
                    delete context;
                } else {
                    index = zip_file_add(za, item.name.constData(), source, ZIP_FL_ENC_GUESS);
                    if (index < 0)
                        zip_source_free(source);
                }
                fileIndex[static_cast<std::size_t>(fileNumber++)] = index;
            }
            if (index < 0) {
                line(QStringLiteral("could not add %1: %2").arg(item.path, QString::fromLocal8Bit(zip_strerror(za))));
                zip_discard(za);
                return ZipCode::InternalError;
            }
            zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), static_cast<time_t>(item.mtime), 0);
            zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             externalAttributes(item));
        }
        zip_register_cancel_callback_with_state(za, cancelCallback, nullptr, nullptr);

        pipeline.start();
        const int closed = zip_close(za);
        pipeline.stop();
        if (closed != 0) {
            const bool wasCancelled = zip_error_code_zip(zip_get_error(za)) == ZIP_ER_CANCELLED || ZipCancelRequested();
            const QString text = zipErrorText(zip_get_error(za), temp);
            zip_discard(za);
            QFile::remove(temp);
            if (wasCancelled)
                return cancelled();
            line(text);
            return ZipCode::WriteError;
        }

        // Files that vanished or failed while being read are taken out again, so the archive holds
        // only whole, correct entries.
        std::vector<zip_uint64_t> dropped;
        for (std::size_t f = 0; f < files.size(); ++f) {
            const auto& outcome = pipeline.outcome(static_cast<int>(f));
            if (outcome.failed) {
                line(QStringLiteral("could not read: %1: %2")
                         .arg(m_items[static_cast<std::size_t>(files[f])].path, outcome.error));
                dropped.push_back(static_cast<zip_uint64_t>(fileIndex[f]));
            }
        }
        if (!dropped.empty()) {
            m_warnings = true;
            const std::int32_t result = dropEntries(temp, dropped, kept.size() + m_items.size());
            if (result != ZipCode::Ok)
                return result;
        }
        return replaceTarget(temp);
    }

    std::int32_t dropEntries(const QString& temp, const std::vector<zip_uint64_t>& dropped, std::size_t total)
    {
        if (dropped.size() >= total) {
            QFile::remove(temp);
            return nothingToDo();
        }
        int openError = 0;
        zip_t* za = zip_open(QFile::encodeName(temp).constData(), 0, &openError);
        if (!za) {
            QFile::remove(temp);
            line(QStringLiteral("could not reopen %1").arg(temp));
            return ZipCode::WriteError;
        }
        for (const zip_uint64_t index : dropped)
            zip_delete(za, index);
        zip_register_cancel_callback_with_state(za, cancelCallback, nullptr, nullptr);
        if (zip_close(za) != 0) {
            const bool wasCancelled = ZipCancelRequested();
            const QString text = zipErrorText(zip_get_error(za), temp);
            zip_discard(za);
            removeStaleTemporaries(m_target);
            if (wasCancelled)
                return cancelled();
            line(text);
            return ZipCode::WriteError;
        }
        return ZipCode::Ok;
    }

    // The finished temporary takes the target's place in one step, after it is on the disk.
    std::int32_t replaceTarget(const QString& temp)
    {
        if (ZipCancelRequested()) {
            QFile::remove(temp);
            return cancelled();
        }
        if (!syncPath(temp, false)) {
            const int error = errno;
            QFile::remove(temp);
            line(QStringLiteral("write error: %1: %2").arg(temp, systemText(error)));
            return ZipCode::WriteError;
        }
#ifdef Q_OS_UNIX
        struct stat old;
        if (::stat(QFile::encodeName(m_target).constData(), &old) == 0 && S_ISREG(old.st_mode))
            ::chmod(QFile::encodeName(temp).constData(), old.st_mode & 07777);
        if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(m_target).constData()) != 0) {
            const int error = errno;
            QFile::remove(temp);
            line(QStringLiteral("could not replace %1: %2").arg(m_target, systemText(error)));
            return ZipCode::WriteError;
        }
#else
        QFile::remove(m_target);
        if (!QFile::rename(temp, m_target)) {
            QFile::remove(temp);
            line(QStringLiteral("could not replace %1").arg(m_target));
            return ZipCode::WriteError;
        }
#endif
        syncPath(m_folder, true);
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

std::int32_t RunZipJob(const ZipJob& job, const ZipLineSink& print)
{
    try {
        return Engine(job, print).run();
    } catch (const std::exception& e) {
        print(QStringLiteral("internal error: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return ZipCode::InternalError;
    }
}
