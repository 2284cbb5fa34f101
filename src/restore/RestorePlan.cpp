#include "restore/RestorePlan.h"

#include "base/NativePath.h"
#include "restore/RestorePath.h"
#include "restore/ShownText.h"
#include "restore/TargetFolder.h"
#include "zip/Digest.h"
#include "zip/EntryRecord.h"
#include "zip/RecordKey.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <libdeflate.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

// The CRC-32 of what is left to read in the file, or nothing when it cannot be read or reading
// was cancelled.
std::optional<std::uint32_t> crcOfFile(int fd, const std::atomic<bool>& cancelled)
{
    std::vector<std::uint8_t> buffer(1u << 20);
    std::uint32_t crc = 0;
    while (!cancelled) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            return crc;
        if (n < 0 && errno != EINTR)
            return std::nullopt;
        if (n > 0)
            crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n)));
    }
    return std::nullopt;
}

// The free room of the file system where the folder is or will be.
std::optional<std::uint64_t> freeRoom(QString folder)
{
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).absolutePath() != folder)
        folder = QFileInfo(folder).absolutePath();
    struct statvfs fs;
    if (::statvfs(NativePath(folder).constData(), &fs) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

class Planner
{
public:
    Planner(RestorePlan& plan, const std::atomic<bool>& cancelled)
        : m_plan(plan)
        , m_cancelled(cancelled)
    { }

    void run()
    {
        const QString target = m_plan.request.target;
        QString error;
        if (QFileInfo::exists(target) && !m_target.open(target, false, error)) {
            m_plan.failure = error;
            return;
        }
        // Only records this user's program wrote are believed.
        if (const QByteArray key = LoadRecordKey(); !key.isEmpty())
            m_tagger = std::make_unique<MessageTagger>(key);
        m_plan.archives.resize(m_plan.request.sources.size());
        m_plan.refused.resize(m_plan.request.sources.size());
        for (std::size_t i = 0; i < m_plan.request.sources.size() && !m_plan.cancelled; ++i)
            planSource(i);
        std::stable_sort(m_plan.entries.begin(), m_plan.entries.end(), [](const auto& a, const auto& b) {
            const bool aFolder = a.facts.kind == EntryFacts::Kind::Folder;
            const bool bFolder = b.facts.kind == EntryFacts::Kind::Folder;
            return aFolder != bFolder ? aFolder : aFolder && a.relativePath < b.relativePath;
        });
        const std::optional<std::uint64_t> room = freeRoom(target);
        if (room && *room < m_plan.bytes) {
            m_plan.failure = QStringLiteral("there is not room enough in %1: %2 are needed, %3 are free")
                                 .arg(target, ShownSize(m_plan.bytes), ShownSize(*room));
        }
    }

private:
    void planSource(std::size_t source)
    {
        const RestoreSource& from = m_plan.request.sources[source];
        FileHandle archive(::open(NativePath(from.archivePath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        CentralDirectory directory;
        if (!archive.isOpen() || !ReadCentralDirectory(archive.get(), directory)) {
            m_plan.refused[source].append(
                QStringLiteral("%1: the backup cannot be read").arg(QFileInfo(from.archivePath).fileName()));
            return;
        }
        QHash<QByteArray, std::size_t> byName;
        byName.reserve(static_cast<qsizetype>(directory.entries.size()));
        for (std::size_t i = 0; i < directory.entries.size(); ++i)
            byName.insert(directory.entries[i].name, i);
        for (const RestoreItem& item : from.items) {
            if (m_cancelled) {
                m_plan.cancelled = true;
                return;
            }
            const auto found = byName.constFind(item.entryName);
            const std::optional<QString> refusal = found == byName.constEnd()
                ? QStringLiteral("it is no longer in the backup")
                : planEntry(source, item, directory, directory.entries[*found], archive.get());
            if (refusal)
                m_plan.refused[source].append(ShownName(item.relativePath) + QStringLiteral(": ") + *refusal);
        }
        m_plan.archives[source] = std::move(archive);
    }

    // Adds the entry to the plan, or says why it is not restored.
    std::optional<QString> planEntry(std::size_t source, const RestoreItem& item, const CentralDirectory& directory,
                                     const CentralEntry& entry, int archive)
    {
        PlannedEntry planned;
        planned.source = source;
        planned.facts = FactsOf(entry);
        if (const std::optional<EntryRecord> record
            = m_tagger ? EntryRecord::find(entry.extra, entry.name, *m_tagger) : std::nullopt)
            planned.facts.mtimeNs = record->evidence.mtimeNs;
        if (planned.facts.kind == EntryFacts::Kind::Link)
            return QStringLiteral("it is a link, and links are never restored");
        if (planned.facts.kind == EntryFacts::Kind::Special)
            return QStringLiteral("it is not a file");
        const std::optional<QByteArray> relative = SafeRelativePath(item.relativePath);
        if (!relative)
            return QStringLiteral("its name leads out of the folder");
        planned.relativePath = *relative;
        const auto [place, isNew] = m_places.try_emplace(*relative, source, entry.name);
        if (!isNew)
            return place->second == std::pair(source, entry.name)
                ? std::nullopt
                : std::optional(QStringLiteral("another chosen entry goes to the same place"));
        planned.data.archive = archive;
        planned.data.entry = entry;
        if (planned.facts.kind == EntryFacts::Kind::File) {
            if (const std::optional<QString> unsupported = UnsupportedBecause(entry))
                return unsupported;
            QByteArray header;
            if (!LocateEntryData(archive, directory, entry, planned.data.offset, header))
                return QStringLiteral("its data cannot be found in the backup");
        }
        if (m_target.isOpen()) {
            if (const std::optional<QString> inTheWay = compareWithTarget(planned))
                return inTheWay;
        }
        if (planned.facts.kind == EntryFacts::Kind::File && !planned.alreadyThere)
            m_plan.bytes += entry.size;
        m_plan.entries.push_back(std::move(planned));
        return std::nullopt;
    }

    // Looks at what is in the entry's place now.
    std::optional<QString> compareWithTarget(PlannedEntry& planned)
    {
        QString error;
        const FileHandle folder = m_target.folder(ParentPart(planned.relativePath), false, error);
        if (!folder.isOpen())
            return error.isEmpty() ? std::nullopt : std::optional(error);
        const QByteArray name = LastPart(planned.relativePath);
        struct stat found;
        if (::fstatat(folder.get(), name.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        const bool isFolder = planned.facts.kind == EntryFacts::Kind::Folder;
        if (isFolder != S_ISDIR(found.st_mode))
            return isFolder ? QStringLiteral("a file of that name is in the way")
                            : QStringLiteral("a folder of that name is in the way");
        if (isFolder)
            return std::nullopt;
        planned.differs = true;
        if (!S_ISREG(found.st_mode) || static_cast<std::uint64_t>(found.st_size) != planned.data.entry.size)
            return std::nullopt;
        const FileHandle file(::openat(folder.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        const std::optional<std::uint32_t> crc = file.isOpen() ? crcOfFile(file.get(), m_cancelled) : std::nullopt;
        planned.alreadyThere = crc == planned.data.entry.crc;
        planned.differs = !planned.alreadyThere;
        return std::nullopt;
    }

    RestorePlan& m_plan;
    const std::atomic<bool>& m_cancelled;
    TargetFolder m_target;
    std::unique_ptr<MessageTagger> m_tagger; // of the user's records
    std::map<QByteArray, std::pair<std::size_t, QByteArray>> m_places; // where each entry goes
};

} // namespace

QStringList RestorePlan::differing() const
{
    QStringList paths;
    for (const PlannedEntry& entry : entries) {
        if (entry.differs)
            paths.append(ShownName(entry.relativePath));
    }
    return paths;
}

RestorePlan PlanRestore(RestoreRequest request, const std::atomic<bool>& cancelled)
{
    RestorePlan plan;
    plan.request = std::move(request);
    Planner(plan, cancelled).run();
    return plan;
}
