#include "zip/ZipEngine.h"

#include "base/NativePath.h"
#include "zip/ArchiveCheck.h"
#include "zip/ArchiveSummary.h"
#include "zip/ArchiveTemporary.h"
#include "zip/CompressionPipeline.h"
#include "zip/DiskFlush.h"
#include "zip/ZipExpand.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReuse.h"
#include "zip/ZipWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

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

std::uint32_t externalAttributes(const ZipItem& item)
{
    // Unix mode in the high half; the folder flag others read in the low half.
    return (item.mode << 16) | (item.isDir ? 0x10u : 0u);
}

bool isUtf8BeyondAscii(const QByteArray& name)
{
    bool beyondAscii = false;
    for (const char c : name)
        beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 0x80;
    return beyondAscii && !HasRawBytes(PathFromNative(name));
}

// The extra fields of an entry copied from another archive, without the ZIP64 field the writer
// makes afresh.
QByteArray withoutZip64Field(const QByteArray& extra)
{
    QByteArray kept;
    qsizetype at = 0;
    while (at + 4 <= extra.size()) {
        const auto id = static_cast<std::uint16_t>(static_cast<unsigned char>(extra[at])
                                                   | (static_cast<unsigned char>(extra[at + 1]) << 8));
        const qsizetype length
            = static_cast<unsigned char>(extra[at + 2]) | (static_cast<unsigned char>(extra[at + 3]) << 8);
        if (at + 4 + length > extra.size())
            break;
        if (id != ZipFormat::Zip64Id)
            kept.append(extra.mid(at, 4 + length));
        at += 4 + length;
    }
    return kept;
}

// One entry of the archive to write, in order.
struct Planned
{
    enum class Kind
    {
        Folder,
        Compressed,
        Reused,
        Kept
    } kind
        = Kind::Folder;
    const ZipItem* item = nullptr; // folders, compressed and reused files
    int file = -1; // compressed files: the pipeline's number
    std::optional<PreviousArchive::Match> reused;
    const CentralEntry* kept = nullptr; // entries kept as they are from the archive being updated
};

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
        ZipExpansion expansion = ExpandNames(job, cancelCheck());
        for (const QString& note : expansion.notes)
            line(note);
        for (const QString& warning : expansion.warnings)
            line(warning);
        m_warnings = !expansion.warnings.isEmpty();
        if (expansion.cancelled || cancelRequested())
            return cancelled();
        m_items = std::move(expansion.items);

        m_updating = m_job.update && QFileInfo::exists(m_target);
        if (m_updating)
            return updateArchive();
        // The archive being replaced, or else the latest one of its series, supplies the data of
        // files that have not changed since it was written. Neither is ever written to.
        m_previousIsTarget = m_previous.open(m_target);
        if (!m_previousIsTarget && !m_job.reuseFrom.isEmpty())
            m_previous.open(m_job.reuseFrom);
        // Folders alone are no backup: an archive without a file never replaces one with files.
        if (std::none_of(m_items.begin(), m_items.end(), [](const ZipItem& item) { return !item.isDir; }))
            return nothingToDo();
        return writeArchive(plan({}));
    }

private:
    void line(const QString& text) { m_print(text + u'\n'); }

    bool cancelRequested() const { return m_job.cancelled && m_job.cancelled(); }
    // The check handed to the expansion, the pipeline and the read-back.
    std::function<bool()> cancelCheck() const
    {
        return [this] { return cancelRequested(); };
    }

    // What became of the target when no new archive takes its place: only one that exists was
    // left as it was.
    QString targetLeft() const
    {
        return QFileInfo::exists(m_target) ? QStringLiteral("%1 was left as it was").arg(m_target)
                                           : QStringLiteral("no archive was written");
    }

    std::int32_t cancelled()
    {
        line(QStringLiteral("cancelled: %1").arg(targetLeft()));
        return ZipCode::Cancelled;
    }

    std::int32_t nothingToDo()
    {
        line(QStringLiteral("nothing to do: no file to archive, %1").arg(targetLeft()));
        return ZipCode::NothingToDo;
    }

    // The note that ends every archive (see ArchiveSummary.h): complete when no file was left out.
    QByteArray summaryComment(const ZipWriter& writer) const
    {
        return SummaryComment({ writer.fileCount(), writer.fileBytes(), !m_warnings });
    }

    std::int32_t finished() { return m_warnings ? ZipCode::FilesSkipped : ZipCode::Ok; }

    static int threads() { return std::max(1, QThread::idealThreadCount()); }

    // The entries to write: kept ones first, then the items, each file either compressed or, when
    // it has provably not changed, copied from the earlier archive.
    std::vector<Planned> plan(const std::vector<const CentralEntry*>& kept)
    {
        m_compressed.clear();
        std::vector<Planned> planned;
        planned.reserve(kept.size() + m_items.size());
        for (const CentralEntry* entry : kept)
            planned.push_back({ Planned::Kind::Kept, nullptr, -1, std::nullopt, entry });
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const ZipItem& item = m_items[i];
            Planned entry { Planned::Kind::Folder, &item, -1, std::nullopt, nullptr };
            if (!item.isDir) {
                entry.reused = m_previous.isOpen() ? m_previous.reusable(item.name, item.evidence) : std::nullopt;
                if (entry.reused) {
                    entry.kind = Planned::Kind::Reused;
                } else {
                    entry.kind = Planned::Kind::Compressed;
                    entry.file = static_cast<int>(m_compressed.size());
                    m_compressed.push_back(static_cast<int>(i));
                }
            }
            planned.push_back(std::move(entry));
        }
        return planned;
    }

    ZipWriter::Entry entryFor(const ZipItem& item) const
    {
        ZipWriter::Entry entry;
        entry.name = item.name;
        entry.flags = isUtf8BeyondAscii(item.name) ? ZipWriter::Utf8Flag : 0;
        entry.isDir = item.isDir;
        entry.dosTime = DosDateTime(item.mtime);
        entry.externalAttributes = externalAttributes(item);
        entry.sizeHint = static_cast<std::uint64_t>(item.size);
        return entry;
    }

    QString writeErrorText(const ZipWriter& writer, const QString& path) const
    {
        if (writer.failedReading())
            return QStringLiteral("could not read the earlier archive of %1: %2")
                .arg(m_target, systemText(writer.error()));
        return QStringLiteral("write error: %1: %2").arg(path, systemText(writer.error()));
    }

    // Writes the planned entries into a temporary of its own, reads it back, then puts it in the
    // target's place.
    std::int32_t writeArchive(const std::vector<Planned>& planned)
    {
        SweepStaleTemporaries(m_folder);
        reachStage(ZipStage::Expanded, m_target);
        if (cancelRequested())
            return cancelled();
        if (targetIsCurrent(planned))
            return finished();
        QString error;
        std::unique_ptr<ArchiveTemporary> temporary = ArchiveTemporary::create(m_folder, error);
        if (!temporary) {
            line(QStringLiteral("could not create a file in %1: %2").arg(m_folder, error));
            return ZipCode::WriteError;
        }
        ExpectedEntries expected;
        DiskFlush flush(temporary->descriptor());
        const std::int32_t result = writeEntries(*temporary, planned, threads(), expected);
        if (result != ZipCode::Ok)
            return result;
        reachStage(ZipStage::Written, temporary->path());
        // The disk takes the rest of the archive while it is read back from memory: it must be on
        // the disk before it takes the old archive's place.
        flush.finish();
        const ArchiveCheckResult check = CheckArchive(temporary->path(), expected, threads(), cancelCheck());
        const int syncError = flush.result();
        if (check.cancelled)
            return cancelled();
        if (check.copiedDataDamaged && !m_updating) {
            // The earlier archive is not what it recorded: everything is compressed afresh.
            m_previous.close();
            m_previousIsTarget = false;
            temporary.reset();
            return writeArchive(plan({}));
        }
        if (!check.problem.isEmpty()) {
            line(QStringLiteral("the new archive did not read back intact, %1: %2").arg(targetLeft(), check.problem));
            return ZipCode::WriteError;
        }
        if (syncError != 0) {
            line(QStringLiteral("write error: %1: %2").arg(temporary->path(), systemText(syncError)));
            return ZipCode::WriteError;
        }
        return replaceTarget(*temporary);
    }

    std::int32_t writeEntries(ArchiveTemporary& temporary, const std::vector<Planned>& planned, int threads,
                              ExpectedEntries& expected)
    {
        CompressionPipeline::Settings settings;
        settings.threads = threads;
        CompressionPipeline pipeline(m_items, m_compressed, settings, cancelCheck());
        pipeline.start();
        ZipWriter writer(temporary.descriptor());
        std::vector<std::uint8_t> chunk(1u << 20);
        bool ok = true;
        for (const Planned& entry : planned) {
            switch (entry.kind) {
            case Planned::Kind::Folder:
                ok = writeWithoutCompressing(writer, entry);
                expected.insert(entry.item->name, ExpectedEntry {});
                break;
            case Planned::Kind::Reused:
                ok = writeWithoutCompressing(writer, entry);
                expected.insert(
                    entry.item->name,
                    ExpectedEntry { entry.reused->data.crc,
                                    static_cast<std::int64_t>(entry.reused->data.size),
                                    {},
                                    RecordedData { writer.dataOffset(writer.entryCount() - 1),
                                                   entry.reused->data.compressedSize, entry.reused->dataCrc } });
                break;
            case Planned::Kind::Kept:
                ok = keep(writer, *entry.kept, expected);
                break;
            case Planned::Kind::Compressed:
                ok = compress(writer, pipeline, entry, chunk, expected);
                break;
            }
            if (!ok || cancelRequested())
                break;
        }
        pipeline.stop();
        if (cancelRequested())
            return cancelled();
        if (!ok && writer.error() == 0)
            return cancelled(); // the pipeline gave up because of a cancel
        if (ok && writer.fileCount() == 0)
            return nothingToDo(); // every file failed to be read
        if (ok)
            ok = writer.finish(summaryComment(writer));
        if (!ok) {
            line(writeErrorText(writer, temporary.path()));
            return ZipCode::WriteError;
        }
        return ZipCode::Ok;
    }

    // A folder, or a file whose data is copied from the earlier archive.
    bool writeWithoutCompressing(ZipWriter& writer, const Planned& entry)
    {
        ZipWriter::Entry written = entryFor(*entry.item);
        if (entry.kind == Planned::Kind::Folder)
            return writer.beginEntry(written);
        written.centralExtra = entry.reused->record;
        return writer.addCopied(written, entry.reused->data);
    }

    // True when the archive being replaced holds, byte for byte, what would be written in its
    // place: nothing has changed since it was made.
    bool targetIsCurrent(const std::vector<Planned>& planned)
    {
        if (!m_previousIsTarget)
            return false;
        ZipWriter probe(m_previous.descriptor(), ZipWriter::Mode::Compare);
        std::vector<RecordedData> data;
        for (const Planned& entry : planned) {
            if (entry.kind != Planned::Kind::Folder && entry.kind != Planned::Kind::Reused)
                return false;
            if (!writeWithoutCompressing(probe, entry))
                return false;
            if (entry.reused)
                data.push_back(
                    { entry.reused->data.dataOffset, entry.reused->data.compressedSize, entry.reused->dataCrc });
        }
        // Its data is read as a new archive's copied data would be checked.
        return probe.finish(summaryComment(probe)) && !probe.differs()
            && RecordedDataIntact(m_previous.descriptor(), data, threads(), cancelCheck());
    }

    // One file's data as the pipeline compresses it. A file that cannot be read to its end is
    // taken back out, so the archive holds whole entries only.
    bool compress(ZipWriter& writer, CompressionPipeline& pipeline, const Planned& entry,
                  std::vector<std::uint8_t>& chunk, ExpectedEntries& expected)
    {
        if (!writer.beginEntry(entryFor(*entry.item)))
            return false;
        std::uint32_t dataCrc = 0;
        for (;;) {
            const std::int64_t n = pipeline.read(entry.file, chunk.data(), static_cast<std::int64_t>(chunk.size()));
            if (n < 0)
                return false;
            if (n == 0)
                break;
            dataCrc = Crc32(dataCrc, chunk.data(), static_cast<std::size_t>(n));
            if (!writer.write(chunk.data(), static_cast<std::size_t>(n)))
                return false;
        }
        const CompressionPipeline::EntryOutcome& outcome = pipeline.outcome(entry.file);
        if (outcome.failed) {
            writer.abandonEntry();
            line(outcome.error);
            m_warnings = true;
            return true;
        }
        const std::optional<FileEvidence> evidence = pipeline.lastingEvidence(entry.file);
        const QByteArray record = evidence && evidence->size == static_cast<std::uint64_t>(outcome.size)
            ? EntryRecordField(*evidence, dataCrc)
            : QByteArray();
        expected.insert(entry.item->name, ExpectedEntry { outcome.crc, outcome.size, outcome.pieces, std::nullopt });
        return writer.endEntry(outcome.crc, static_cast<std::uint64_t>(outcome.compressedSize),
                               static_cast<std::uint64_t>(outcome.size), record);
    }

    // An entry of the archive being updated, copied with its name, time, attributes and data.
    bool keep(ZipWriter& writer, const CentralEntry& old, ExpectedEntries& expected)
    {
        const std::optional<ZipWriter::CopiedData> data = m_previous.locate(old);
        if (!data) {
            line(QStringLiteral("could not keep %1 from the old archive: its entry is damaged")
                     .arg(PathFromNative(old.name)));
            m_warnings = true;
            return true;
        }
        ZipWriter::Entry entry;
        entry.name = old.name;
        entry.flags = old.flags & (ZipWriter::Utf8Flag | 0x0007); // name encoding, encryption, deflate options
        entry.isDir = old.name.endsWith('/') && old.method == 0 && old.size == 0;
        entry.dosTime = old.dosTime;
        entry.externalAttributes = old.externalAttributes;
        entry.centralExtra = withoutZip64Field(old.extra);
        expected.insert(old.name, ExpectedEntry { old.crc, static_cast<std::int64_t>(old.size), {}, std::nullopt });
        return writer.addCopied(entry, *data);
    }

    // The finished temporary takes the target's place in one step.
    std::int32_t replaceTarget(ArchiveTemporary& temporary)
    {
        if (cancelRequested())
            return cancelled();
        QString error;
        if (!temporary.replace(m_target, error)) {
            line(QStringLiteral("could not replace %1: %2").arg(m_target, error));
            return ZipCode::WriteError;
        }
        return finished();
    }

    // Update: entries of the old archive that are not older than their files stay as they are;
    // newer files replace theirs and new files are added.
    std::int32_t updateArchive()
    {
        if (!m_previous.open(m_target)) {
            line(QStringLiteral("could not read the old archive %1: it is not a sound archive").arg(m_target));
            return ZipCode::WriteError;
        }
        QHash<QByteArray, std::size_t> itemByName;
        for (std::size_t i = 0; i < m_items.size(); ++i)
            itemByName.insert(m_items[i].name, i);

        std::vector<const CentralEntry*> kept;
        std::vector<bool> current(m_items.size(), false);
        bool changed = false;
        for (const CentralEntry& entry : m_previous.directory().entries) {
            const auto found = itemByName.constFind(entry.name);
            if (found != itemByName.constEnd()) {
                const ZipItem& item = m_items[found.value()];
                // Stored times have a resolution of two seconds.
                if (item.isDir || DosDateTime(item.mtime) <= entry.dosTime) {
                    current[found.value()] = true;
                    kept.push_back(&entry);
                    continue;
                }
                changed = true; // a newer file replaces this entry
                continue;
            }
            kept.push_back(&entry);
        }
        std::vector<ZipItem> fresh;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (current[i])
                continue;
            fresh.push_back(m_items[i]);
            changed = true;
        }
        if (!changed) {
            if (m_items.empty())
                return nothingToDo();
            return finished(); // everything is current: the archive stays as it is
        }
        m_items = std::move(fresh);
        return writeArchive(plan(kept));
    }

    const ZipJob& m_job;
    const ZipLineSink& m_print;
    QString m_target;
    QString m_folder;
    std::vector<ZipItem> m_items;
    std::vector<int> m_compressed; // the items the pipeline compresses, in order
    PreviousArchive m_previous;
    bool m_previousIsTarget = false;
    bool m_updating = false;
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
