#include "zip/ZipEngine.h"

#include "base/FileStatus.h"
#include "base/NativePath.h"
#include "zip/ArchiveCheck.h"
#include "zip/ArchiveSummary.h"
#include "zip/ArchiveTemporary.h"
#include "zip/CompressionPipeline.h"
#include "zip/ContentCheck.h"
#include "zip/DiskFlush.h"
#include "zip/EntryRecord.h"
#include "zip/FilePass.h"
#include "zip/FileReread.h"
#include "zip/KnownArchives.h"
#include "zip/RecordKey.h"
#include "zip/ZipExpand.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReuse.h"
#include "zip/ZipWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <ctime>
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

std::int64_t nowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return NanosecondsOf(now);
}

// The record field as it lies in an entry's extra fields, carried over unchanged.
QByteArray recordFieldIn(const QByteArray& extra)
{
    const QByteArray data = FindExtraField(extra, EntryRecordId);
    QByteArray field;
    field.append(static_cast<char>(EntryRecordId & 0xFF));
    field.append(static_cast<char>(EntryRecordId >> 8));
    field.append(static_cast<char>(data.size() & 0xFF));
    field.append(static_cast<char>(data.size() >> 8));
    field.append(data);
    return field;
}

// How often the writing of one archive starts over without the earlier archive's entries that
// could not be read or were not what their records say, before it does without that archive.
constexpr int MaxAttempts = 4;
// How often a file that changed while it was read is read again.
constexpr int MaxRereads = 3;

// The pieces a large entry was compressed in, for the read-back. Most entries are one piece, which
// the read-back inflates whole without being told, so nothing is kept for them.
std::vector<DeflatePiece> piecesWorthKeeping(const std::vector<DeflatePiece>& pieces)
{
    return pieces.size() > 1 ? pieces : std::vector<DeflatePiece>();
}

std::unique_ptr<PreviousArchive::Match> boxed(std::optional<PreviousArchive::Match> match)
{
    return match ? std::make_unique<PreviousArchive::Match>(std::move(*match)) : nullptr;
}

// One entry of the archive to write, in order.
struct Planned
{
    enum class Kind
    {
        Folder,
        Compressed,
        Reused, // data copied from the earlier archive: the file has not changed
        Carried, // entry copied from the earlier archive: the file cannot be read now
        Kept // update: an entry of the archive being updated
    } kind
        = Kind::Folder;
    const ZipItem* item = nullptr; // all but kept ones
    int file = -1; // compressed files: the pipeline's number
    std::unique_ptr<PreviousArchive::Match> copied; // reused and carried files; apart, as most entries have none
    QByteArray record; // reused files: the record field to write
    const CentralEntry* kept = nullptr;
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
        m_namesMissing = !expansion.warnings.isEmpty();
        if (expansion.cancelled || cancelRequested())
            return cancelled();
        m_items = std::move(expansion.items);
        m_key = LoadRecordKey();
        if (!m_key.isEmpty())
            m_tagger = std::make_unique<MessageTagger>(m_key);

        m_updating = m_job.update && QFileInfo::exists(m_target);
        if (m_updating)
            return updateArchive();
        // The archive being replaced, or else the latest one of its series, supplies the data of
        // files that have not changed since it was written, and of files that cannot be read now.
        // Neither is ever written to.
        m_previousIsTarget = m_previous.open(m_target, m_key);
        if (!m_previousIsTarget && !m_job.reuseFrom.isEmpty())
            m_previous.open(m_job.reuseFrom, m_key);
        m_previousKnown = m_previous.isOpen() && KnownArchives::Unchanged(m_previous.descriptor());
        // Folders alone are no backup: an archive without a file never replaces one with files.
        if (std::none_of(m_items.begin(), m_items.end(), [](const ZipItem& item) { return !item.isDir; }))
            return nothingToDo();
        compareContents();
        return writeArchive({});
    }

private:
    void line(const QString& text) { m_print(text + u'\n'); }

    bool cancelRequested() const { return m_job.cancelled && m_job.cancelled(); }
    // The check handed to the expansion, the pipeline and the read-back.
    std::function<bool()> cancelCheck() const
    {
        return [this] { return cancelRequested(); };
    }

    // How the archive the user knows fares when no new one takes its place.
    QString targetLeft() const
    {
        return QFileInfo::exists(m_target) ? QStringLiteral("%1 was left as it was").arg(m_target)
                                           : QStringLiteral("%1 was not written").arg(m_target);
    }

    std::int32_t cancelled()
    {
        line(QStringLiteral("cancelled: %1").arg(targetLeft()));
        return ZipCode::Cancelled;
    }

    std::int32_t nothingToDo()
    {
        for (const QString& text : std::as_const(m_fileLines))
            line(text);
        line(QStringLiteral("nothing to do: no file to archive, %1").arg(targetLeft()));
        return ZipCode::NothingToDo;
    }

    // The note that ends every archive (see ArchiveSummary.h): complete when it holds every file,
    // also those kept from an earlier archive because they cannot be read now.
    QByteArray summaryComment(const ZipWriter& writer) const
    {
        return SummaryComment({ writer.fileCount(), writer.fileBytes(), !m_namesMissing && !m_filesMissing });
    }

    // The archive is in place: what this attempt has to say about its files, and the code.
    std::int32_t finished()
    {
        for (const QString& text : std::as_const(m_fileLines))
            line(text);
        if (m_namesMissing || m_filesMissing)
            return ZipCode::FilesSkipped;
        return m_filesNotCurrent ? ZipCode::FilesKept : ZipCode::Ok;
    }

    static int threads() { return std::max(1, QThread::idealThreadCount()); }

    // The earlier archive's entry for a file, when a record of ours vouches for it and its data
    // has not already let this run down.
    std::optional<PreviousArchive::Match> recorded(const QByteArray& name)
    {
        if (!m_previous.isOpen() || m_unusable.contains(name))
            return std::nullopt;
        // Each record's tag is checked once a run, however often the archive is planned.
        auto found = m_records.constFind(name);
        if (found == m_records.constEnd())
            found = m_records.insert(name, m_previous.recorded(name));
        return *found;
    }

    // The record of a file whose evidence is as recorded, the file unchanged by that token.
    std::optional<PreviousArchive::Match> unchanged(const ZipItem& item)
    {
        std::optional<PreviousArchive::Match> match = recorded(item.name);
        if (!match || !match->record.evidenceTrusted || !(match->record.evidence == item.evidence))
            return std::nullopt;
        return match;
    }

    // Files whose records are too young or too old to be trusted on their evidence alone are read
    // and compared with their records, all before the writing begins.
    void compareContents()
    {
        std::vector<ContentToCheck> toRead;
        for (const ZipItem& item : m_items) {
            if (item.isDir || !item.unreadable.isEmpty())
                continue;
            const std::optional<PreviousArchive::Match> match = unchanged(item);
            if (match && !match->record.trustedWithoutReading(m_now))
                toRead.push_back({ &item, match->record });
        }
        const std::vector<std::optional<std::int64_t>> matched = ReadAndCompare(toRead, threads(), cancelCheck());
        for (std::size_t i = 0; i < toRead.size(); ++i)
            m_compared.insert(toRead[i].item->name, matched[i]);
    }

    // The record field a reused file gets: the earlier one, or, once a read found the bytes
    // unchanged long enough after the file's last change, one that says so.
    std::optional<QByteArray> reusedRecord(const ZipItem& item, const PreviousArchive::Match& match) const
    {
        if (match.record.trustedWithoutReading(m_now))
            return recordFieldIn(match.entry->extra);
        const std::optional<std::int64_t> readAt = m_compared.value(item.name);
        if (!readAt)
            return std::nullopt;
        if (!match.record.settledAt(*readAt))
            return recordFieldIn(match.entry->extra);
        EntryRecord refreshed = match.record;
        refreshed.readAtNs = *readAt;
        return refreshed.field(item.name, *m_tagger);
    }

    // The entries to write: kept ones first, then the items, each file compressed, or copied from
    // the earlier archive when it has provably not changed or cannot be read now.
    std::vector<Planned> plan(const std::vector<const CentralEntry*>& kept)
    {
        m_compressed.clear();
        m_fileLines.clear();
        m_filesMissing = false;
        m_filesNotCurrent = false;
        std::vector<Planned> planned;
        planned.reserve(kept.size() + m_items.size());
        for (const CentralEntry* entry : kept)
            planned.push_back({ Planned::Kind::Kept, nullptr, -1, nullptr, {}, entry });
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const ZipItem& item = m_items[i];
            Planned entry { Planned::Kind::Folder, &item, -1, nullptr, {}, nullptr };
            if (item.isDir) {
                planned.push_back(std::move(entry));
                continue;
            }
            if (!item.unreadable.isEmpty()) {
                entry.copied = boxed(recorded(item.name));
                if (!entry.copied) {
                    fileMissing(QStringLiteral("could not open for reading: %1: %2").arg(item.path, item.unreadable));
                    continue;
                }
                entry.kind = Planned::Kind::Carried;
                fileCarried(item, item.unreadable);
                planned.push_back(std::move(entry));
                continue;
            }
            entry.copied = boxed(unchanged(item));
            const std::optional<QByteArray> record
                = entry.copied ? reusedRecord(item, *entry.copied) : std::optional<QByteArray>();
            if (record) {
                entry.kind = Planned::Kind::Reused;
                entry.record = *record;
            } else {
                entry.copied.reset();
                entry.kind = Planned::Kind::Compressed;
                entry.file = static_cast<int>(m_compressed.size());
                m_compressed.push_back(static_cast<int>(i));
            }
            planned.push_back(std::move(entry));
        }
        return planned;
    }

    void fileMissing(const QString& text)
    {
        m_fileLines.append(text);
        m_filesMissing = true;
    }

    void fileCarried(const ZipItem& item, const QString& reason)
    {
        m_fileLines.append(QStringLiteral("could not read now, kept as it was in %1: %2: %3")
                               .arg(m_previous.path(), item.path, reason));
        m_filesNotCurrent = true;
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

    // An entry as the earlier archive holds it: its name, time and attributes with its data.
    static ZipWriter::Entry entryAsItWas(const CentralEntry& old)
    {
        ZipWriter::Entry entry;
        entry.name = old.name;
        entry.flags = old.flags & ZipWriter::Utf8Flag;
        entry.dosTime = old.dosTime;
        entry.externalAttributes = old.externalAttributes;
        entry.centralExtra = recordFieldIn(old.extra);
        return entry;
    }

    QString writeErrorText(const ZipWriter& writer) const
    {
        if (writer.failedReading())
            return QStringLiteral("could not read the old archive %1: %2").arg(m_target, systemText(writer.error()));
        return QStringLiteral("write error: %1: %2").arg(m_target, systemText(writer.error()));
    }

    // Writes the planned entries into a temporary of its own, reads it back, then puts it in the
    // target's place. Starts over without the earlier archive's entries that let it down.
    std::int32_t writeArchive(const std::vector<const CentralEntry*>& kept)
    {
        for (int attempt = 1;; ++attempt) {
            if (attempt == MaxAttempts && !m_updating) {
                m_previous.close();
                m_records.clear();
                m_previousIsTarget = false;
            }
            const std::optional<std::int32_t> result = writeOnce(plan(kept));
            if (result)
                return *result;
        }
    }

    // Leaves out, from now on, the earlier archive's entries named, and says why.
    void distrust(const std::vector<QByteArray>& names, const QString& why)
    {
        const QString path = m_previous.path();
        if (names.empty()) {
            m_previous.close(); // nothing to tell them apart: do without that archive
            m_records.clear();
            m_previousIsTarget = false;
        }
        for (const QByteArray& name : names)
            m_unusable.insert(name);
        line(QStringLiteral("the earlier archive %1 %2; the files concerned were compressed afresh").arg(path, why));
    }

    // One try; nothing when it has to start over.
    std::optional<std::int32_t> writeOnce(const std::vector<Planned>& planned)
    {
        SweepStaleTemporaries(m_folder);
        reachStage(ZipStage::Expanded, m_target);
        if (cancelRequested())
            return cancelled();
        switch (targetIsCurrent(planned)) {
        case Current::Yes:
            return finished();
        case Current::Again:
            return std::nullopt;
        case Current::No:
            break;
        }
        QString error;
        std::unique_ptr<ArchiveTemporary> temporary = ArchiveTemporary::create(m_folder, error);
        if (!temporary) {
            line(
                QStringLiteral("could not write %1: could not create a file in %2: %3").arg(m_target, m_folder, error));
            return ZipCode::WriteError;
        }
        ExpectedEntries expected;
        DiskFlush flush(temporary->descriptor());
        ZipWriter writer(temporary->descriptor(), ZipWriter::Mode::Write, m_folder);
        if (m_tagger)
            writer.hashEntryData();
        const std::optional<std::int32_t> result = writeEntries(writer, planned, expected);
        if (!result)
            return std::nullopt;
        if (*result != ZipCode::Ok)
            return result;
        reachStage(ZipStage::Written, temporary->path());
        // The disk takes the rest of the archive while it is read back from memory: it must be on
        // the disk before it takes the old archive's place.
        flush.finish();
        const ArchiveCheckResult check
            = CheckArchive(temporary->path(), expected, writer.fileCrc(), threads(), cancelCheck());
        const int syncError = flush.result();
        if (check.cancelled)
            return cancelled();
        if (check.bytesDiffer && m_previousKnown) {
            m_previousKnown = false; // the copied data may be what went wrong: prove each piece
            return std::nullopt;
        }
        if (!check.damagedCopies.empty() && !m_updating) {
            distrust(check.damagedCopies, QStringLiteral("holds data that does not match its record"));
            return std::nullopt;
        }
        if (!check.problem.isEmpty()) {
            line(QStringLiteral("the new archive did not read back intact, %1: %2").arg(targetLeft(), check.problem));
            return ZipCode::WriteError;
        }
        if (syncError != 0) {
            line(QStringLiteral("write error: %1: %2").arg(m_target, systemText(syncError)));
            return ZipCode::WriteError;
        }
        return replaceTarget(*temporary);
    }

    // Nothing when the writing has to start over.
    std::optional<std::int32_t> writeEntries(ZipWriter& writer, const std::vector<Planned>& planned,
                                             ExpectedEntries& expected)
    {
        CompressionPipeline::Settings settings;
        settings.threads = threads();
        CompressionPipeline pipeline(m_items, m_compressed, settings, m_trust, cancelCheck());
        pipeline.start();
        std::vector<std::uint8_t> chunk(1u << 20);
        bool ok = true;
        for (const Planned& entry : planned) {
            switch (entry.kind) {
            case Planned::Kind::Folder:
                ok = writer.beginEntry(entryFor(*entry.item));
                expected.insert(entry.item->name, ExpectedEntry {});
                break;
            case Planned::Kind::Reused:
            case Planned::Kind::Carried:
                ok = copy(writer, entry, expected);
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
        if (!ok && writer.failedReading() && !m_updating) {
            distrust(unreadableCopies(planned),
                     QStringLiteral("could not be read: %1").arg(systemText(writer.error())));
            return std::nullopt;
        }
        if (!ok) {
            line(writeErrorText(writer));
            return ZipCode::WriteError;
        }
        return ZipCode::Ok;
    }

    // The planned copies whose data the earlier archive no longer gives up.
    std::vector<QByteArray> unreadableCopies(const std::vector<Planned>& planned) const
    {
        std::vector<QByteArray> names;
        std::vector<std::uint8_t> buffer(1u << 20);
        for (const Planned& entry : planned) {
            if (!entry.copied)
                continue;
            const ZipWriter::CopiedData& data = entry.copied->data;
            for (std::uint64_t done = 0; done < data.compressedSize;) {
                const std::size_t want
                    = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), data.compressedSize - done));
                const ssize_t got = ::pread(data.fd, buffer.data(), want, static_cast<off_t>(data.dataOffset + done));
                if (got <= 0) {
                    names.push_back(entry.item->name);
                    break;
                }
                done += static_cast<std::uint64_t>(got);
            }
        }
        return names;
    }

    // A reused or carried file: its data as the earlier archive holds it, with the record that
    // vouches for it.
    bool copy(ZipWriter& writer, const Planned& entry, ExpectedEntries& expected)
    {
        const PreviousArchive::Match& match = *entry.copied;
        ZipWriter::Entry written;
        if (entry.kind == Planned::Kind::Reused) {
            written = entryFor(*entry.item);
            written.centralExtra = entry.record;
        } else {
            written = entryAsItWas(*match.entry);
        }
        if (!writer.addCopied(written, match.data))
            return false;
        expected.insert(entry.item->name,
                        ExpectedEntry { match.record.crc,
                                        static_cast<std::int64_t>(match.record.evidence.size),
                                        {},
                                        std::make_shared<const RecordedData>(RecordedData {
                                            writer.dataOffset(), match.record.compressedSize, proofOf(match) }) });
        return true;
    }

    // What copied data must sum to with SHA-256: nothing for an archive known unchanged since this
    // program wrote it, where the whole file's CRC is proof enough.
    std::optional<Sha256::Digest> proofOf(const PreviousArchive::Match& match) const
    {
        return m_previousKnown ? std::nullopt : std::optional(match.record.dataHash);
    }

    enum class Current
    {
        Yes,
        No,
        Again // some of its data is not what the records say: start over without it
    };

    // Whether the archive being replaced holds, byte for byte, what would be written in its place:
    // nothing has changed since it was made.
    Current targetIsCurrent(const std::vector<Planned>& planned)
    {
        if (!m_previousIsTarget || !m_previous.isOpen())
            return Current::No;
        ZipWriter probe(m_previous.descriptor(), ZipWriter::Mode::Compare, m_folder);
        std::vector<RecordedData> data;
        std::vector<QByteArray> names;
        ExpectedEntries ignored;
        for (const Planned& entry : planned) {
            const bool copied = entry.kind == Planned::Kind::Reused || entry.kind == Planned::Kind::Carried;
            if (entry.kind != Planned::Kind::Folder && !copied)
                return Current::No;
            if (copied ? !copy(probe, entry, ignored) : !probe.beginEntry(entryFor(*entry.item)))
                return Current::No;
            if (copied) {
                data.push_back(
                    { entry.copied->data.dataOffset, entry.copied->record.compressedSize, proofOf(*entry.copied) });
                names.push_back(entry.item->name);
            }
        }
        if (!probe.finish(summaryComment(probe)) || probe.differs())
            return Current::No;
        // Its data is read as a new archive's copied data would be checked.
        const FilePassResult pass
            = ReadWholeFile(m_previous.descriptor(), probe.archiveSize(), data, threads(), cancelCheck());
        if (pass.readable && pass.damaged.empty() && pass.crc == probe.fileCrc()) {
            if (!m_previousKnown)
                KnownArchives::Remember(m_target);
            return Current::Yes;
        }
        if (cancelRequested())
            return Current::No;
        if (m_previousKnown) {
            m_previousKnown = false; // prove each piece of its data, to find the damaged ones
            return Current::Again;
        }
        std::vector<QByteArray> damaged;
        for (const std::size_t i : pass.damaged)
            damaged.push_back(names[i]);
        distrust(damaged,
                 pass.readable ? QStringLiteral("holds data that does not match its record")
                               : QStringLiteral("could not be read"));
        return Current::Again;
    }

    // One file's data as the pipeline compresses it. A file that changed while it was read is
    // read again; one that cannot be read is carried over from the earlier archive when that
    // holds it, and otherwise taken back out, so the archive holds whole entries only.
    bool compress(ZipWriter& writer, CompressionPipeline& pipeline, const Planned& entry,
                  std::vector<std::uint8_t>& chunk, ExpectedEntries& expected)
    {
        if (!writer.beginEntry(entryFor(*entry.item)))
            return false;
        for (;;) {
            const std::int64_t n = pipeline.read(entry.file, chunk.data(), static_cast<std::int64_t>(chunk.size()));
            if (n < 0)
                return false;
            if (n == 0)
                break;
            if (!writer.write(chunk.data(), static_cast<std::size_t>(n)))
                return false;
        }
        const CompressionPipeline::EntryOutcome& outcome = pipeline.outcome();
        if (outcome.failed) {
            writer.abandonEntry();
            return unreadable(writer, *entry.item, outcome.error, outcome.reason, outcome.vanished, outcome.notAFile,
                              expected);
        }
        if (outcome.changed) {
            writer.abandonEntry();
            return compressAgain(writer, *entry.item, expected);
        }
        const CompressionPipeline::SourceRead& read = pipeline.sourceRead();
        const QByteArray record = recordFor(*entry.item, read.evidence, read.readStartNs, read.evidenceTrusted,
                                            outcome.crc, outcome.size, writer);
        expected.insert(entry.item->name,
                        ExpectedEntry { outcome.crc, outcome.size, piecesWorthKeeping(outcome.pieces), nullptr });
        return writer.endEntry(outcome.crc, static_cast<std::uint64_t>(outcome.compressedSize),
                               static_cast<std::uint64_t>(outcome.size), record);
    }

    // The record of data just compressed, when there is a key to sign it with.
    QByteArray recordFor(const ZipItem& item, const FileEvidence& evidence, std::int64_t readStartNs,
                         bool evidenceTrusted, std::uint32_t crc, std::int64_t size, ZipWriter& writer)
    {
        const ZipWriter::DataDigest digest = writer.dataDigest();
        if (!m_tagger)
            return {};
        EntryRecord record;
        record.evidence = evidence;
        record.evidenceTrusted = evidenceTrusted;
        record.readAtNs = readStartNs;
        record.crc = crc;
        record.compressedSize = writer.size() - writer.dataOffset();
        record.dataCrc = digest.crc;
        record.dataHash = digest.hash;
        record.evidence.size = static_cast<std::uint64_t>(size);
        return record.field(item.name, *m_tagger);
    }

    // A file that changed while it was read, read again until it holds still; one that never does
    // is stored as last read and said to be possibly inconsistent.
    bool compressAgain(ZipWriter& writer, const ZipItem& item, ExpectedEntries& expected)
    {
        DeflateWorker deflater(CompressionPipeline::Settings().level);
        for (int attempt = 1;; ++attempt) {
            Reread again = CompressIntoWriter(item, entryFor(item), writer, deflater,
                                              CompressionPipeline::Settings().pieceSize, m_trust);
            if (!again.written)
                return false;
            if (again.readFailed)
                return unreadable(writer, item, again.error, again.source.reason, again.source.vanished,
                                  again.source.notAFile, expected);
            if (!again.consistent && attempt < MaxRereads) {
                writer.abandonEntry();
                continue;
            }
            QByteArray record;
            if (again.consistent)
                record = recordFor(item, again.source.evidence, again.source.readStartNs, again.evidenceTrusted,
                                   again.crc, again.size, writer);
            else {
                writer.dataDigest();
                m_fileLines.append(QStringLiteral("changed while it was read, stored as last read, possibly "
                                                  "inconsistent: %1")
                                       .arg(item.path));
                m_filesNotCurrent = true;
            }
            expected.insert(item.name,
                            ExpectedEntry { again.crc, again.size, piecesWorthKeeping(again.pieces), nullptr });
            return writer.endEntry(again.crc, static_cast<std::uint64_t>(again.compressedSize),
                                   static_cast<std::uint64_t>(again.size), record);
        }
    }

    // A file that could not be read to its end: carried over when it is still there and the
    // earlier archive holds it, otherwise left out and named.
    bool unreadable(ZipWriter& writer, const ZipItem& item, const QString& error, const QString& reason, bool vanished,
                    bool notAFile, ExpectedEntries& expected)
    {
        if (notAFile) {
            m_fileLines.append(error); // not a file a backup can hold: said, but not a failure
            return true;
        }
        Planned carried {
            Planned::Kind::Carried, &item, -1, vanished ? nullptr : boxed(recorded(item.name)), {}, nullptr
        };
        if (!carried.copied) {
            fileMissing(error);
            return true;
        }
        fileCarried(item, reason);
        return copy(writer, carried, expected);
    }
    // An entry of the archive being updated, copied with its name, time, attributes and data.
    bool keep(ZipWriter& writer, const CentralEntry& old, ExpectedEntries& expected)
    {
        const std::optional<ZipWriter::CopiedData> data = m_previous.locate(old);
        if (!data) {
            fileMissing(QStringLiteral("could not keep %1 from the old archive: its entry is damaged")
                            .arg(PathFromNative(old.name)));
            return true;
        }
        ZipWriter::Entry entry;
        entry.name = old.name;
        entry.flags = old.flags & (ZipWriter::Utf8Flag | 0x0007); // name encoding, encryption, deflate options
        entry.isDir = old.name.endsWith('/') && old.method == 0 && old.size == 0;
        entry.dosTime = old.dosTime;
        entry.externalAttributes = old.externalAttributes;
        entry.centralExtra = withoutZip64Field(old.extra);
        expected.insert(old.name, ExpectedEntry { old.crc, static_cast<std::int64_t>(old.size), {}, nullptr });
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
        KnownArchives::Remember(m_target);
        return finished();
    }

    // Update: entries of the old archive that are not older than their files stay as they are;
    // newer files replace theirs and new files are added.
    std::int32_t updateArchive()
    {
        if (!m_previous.open(m_target, m_key)) {
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
        return writeArchive(kept);
    }

    const ZipJob& m_job;
    const ZipLineSink& m_print;
    QString m_target;
    QString m_folder;
    std::vector<ZipItem> m_items;
    std::vector<int> m_compressed; // the items the pipeline compresses, in order
    PreviousArchive m_previous;
    bool m_previousIsTarget = false;
    bool m_previousKnown = false; // see KnownArchives
    bool m_updating = false;
    QByteArray m_key;
    std::unique_ptr<MessageTagger> m_tagger; // signs the records written
    const std::int64_t m_now = nowNs();
    ChangeTimeTrust m_trust;
    // Files read before the writing, by entry name: when their bytes matched their records.
    QHash<QByteArray, std::optional<std::int64_t>> m_compared;
    QSet<QByteArray> m_unusable; // entries of the earlier archive that let this run down
    QHash<QByteArray, std::optional<PreviousArchive::Match>> m_records; // of the earlier archive, by name
    bool m_namesMissing = false; // names or folders that could not be expanded
    // What the attempt under way has to say about its files.
    QStringList m_fileLines;
    bool m_filesMissing = false;
    bool m_filesNotCurrent = false;
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
