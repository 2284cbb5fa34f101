#include "restore/BackupCatalog.h"

#include "base/NativePath.h"
#include "restore/FileHandle.h"
#include "restore/ShownText.h"
#include "zip/ZipDirectory.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

BackupCatalog::Archive::Stamp stampOf(const struct stat& file)
{
    return { static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino),
             static_cast<std::uint64_t>(file.st_size),
             static_cast<std::int64_t>(file.st_mtim.tv_sec) * 1'000'000'000 + file.st_mtim.tv_nsec };
}

std::optional<BackupCatalog::Archive::Stamp> stampOf(const QString& path)
{
    struct stat file;
    if (::stat(NativePath(path).constData(), &file) != 0)
        return std::nullopt;
    return stampOf(file);
}

// The folder root when every name lies below it, otherwise the longest start of whole folders
// the names share.
QByteArray rootOf(const std::vector<CentralEntry>& entries, const QByteArray& folderRoot)
{
    if (std::all_of(entries.cbegin(), entries.cend(),
                    [&](const CentralEntry& e) { return e.name.startsWith(folderRoot); }))
        return folderRoot;
    QByteArray common = entries.front().name;
    for (const CentralEntry& entry : entries) {
        while (!entry.name.startsWith(common))
            common.chop(1);
        common.truncate(common.lastIndexOf('/') + 1);
    }
    return common;
}

} // namespace

std::size_t BackupCatalog::KeyHash::operator()(const VersionKey& key) const
{
    // splitmix64's finaliser: every bit of every field reaches every bit of the hash.
    const auto mix = [](std::uint64_t x) {
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    };
    return static_cast<std::size_t>(
        mix(key.path ^ mix(key.crc ^ mix(key.size ^ mix(static_cast<std::uint64_t>(key.mtimeNs))))));
}

std::uint32_t BackupCatalog::pathId(const QByteArray& path)
{
    const auto found = m_pathIds.constFind(path);
    if (found != m_pathIds.constEnd())
        return *found;
    const auto id = static_cast<std::uint32_t>(m_paths.size());
    m_paths.push_back(path);
    m_shown.push_back(ShownName(path));
    m_pathIds.insert(path, id);
    return id;
}

std::uint32_t BackupCatalog::versionOf(const CentralEntry& entry, const QByteArray& relative)
{
    const EntryFacts facts = FactsOf(entry);
    const VersionKey key { pathId(relative), entry.crc, entry.size, facts.mtimeNs };
    const auto [found, added] = m_versionIds.try_emplace(key, static_cast<std::uint32_t>(m_versions.size()));
    if (added)
        m_versions.push_back({ key.path, key.crc, key.size, key.mtimeNs, facts.kind, -1 });
    return found->second;
}

BackupCatalog::Archive BackupCatalog::read(const QString& path, const Archive::Stamp& stamp,
                                           const QByteArray& folderRoot, LastRead& last)
{
    Archive archive;
    archive.path = path;
    archive.stamp = stamp;
    const FileHandle file(::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat opened;
    CentralDirectory directory;
    if (!file.isOpen() || ::fstat(file.get(), &opened) != 0 || !ReadCentralDirectory(file.get(), directory)) {
        archive.problem = QStringLiteral("it cannot be read");
        return archive;
    }
    archive.stamp = stampOf(opened);
    archive.root = directory.entries.empty() ? folderRoot : rootOf(directory.entries, folderRoot);
    archive.entries.reserve(directory.entries.size());
    std::vector<std::uint32_t> ids(directory.entries.size(), NoVersion);
    const bool sameRoot = last.root == archive.root;
    for (std::size_t i = 0; i < directory.entries.size(); ++i) {
        const CentralEntry& entry = directory.entries[i];
        // Most entries are exactly those of the archive before, in the same place.
        if (sameRoot && i < last.ids.size() && last.ids[i] != NoVersion) {
            const CentralEntry& before = last.directory.entries[i];
            if (entry.crc == before.crc && entry.size == before.size && entry.dosTime == before.dosTime
                && entry.externalAttributes == before.externalAttributes && entry.name == before.name
                && entry.extra == before.extra)
                ids[i] = last.ids[i];
        }
        if (ids[i] == NoVersion && entry.name.size() > archive.root.size())
            ids[i] = versionOf(entry, entry.name.mid(archive.root.size()));
        if (ids[i] == NoVersion)
            continue;
        archive.entries.push_back(ids[i]);
        archive.files += m_versions[ids[i]].kind == EntryFacts::Kind::File ? 1 : 0;
    }
    last = { std::move(directory), archive.root, std::move(ids) };
    return archive;
}

void BackupCatalog::update(const QStringList& archives, const QByteArray& folderRoot,
                           const std::function<bool()>& cancelled)
{
    QHash<QString, std::size_t> known;
    for (std::size_t i = 0; i < m_archives.size(); ++i)
        known.insert(m_archives[i].path, i);
    std::vector<Archive> next;
    LastRead last;
    for (const QString& path : archives) {
        if (cancelled())
            break;
        const std::optional<Archive::Stamp> stamp = stampOf(path);
        if (!stamp)
            continue;
        const auto found = known.constFind(path);
        if (found != known.constEnd() && m_archives[*found].stamp == *stamp && m_archives[*found].root == folderRoot)
            next.push_back(std::move(m_archives[*found]));
        else
            next.push_back(read(path, *stamp, folderRoot, last));
        next.back().modified = QDateTime::fromMSecsSinceEpoch(stamp->mtimeNs / 1'000'000);
        next.back().bytes = static_cast<qint64>(stamp->size);
    }
    m_archives = std::move(next);
    for (Version& version : m_versions)
        version.newest = -1;
    for (auto archive = m_archives.size(); archive-- > 0;) {
        for (const std::uint32_t id : m_archives[archive].entries)
            m_versions[id].newest = static_cast<int>(archive);
    }
}

bool BackupCatalog::isCurrent(const QStringList& archives) const
{
    if (static_cast<std::size_t>(archives.size()) != m_archives.size())
        return false;
    for (std::size_t i = 0; i < m_archives.size(); ++i) {
        if (archives.at(static_cast<qsizetype>(i)) != m_archives[i].path
            || stampOf(m_archives[i].path) != m_archives[i].stamp)
            return false;
    }
    return true;
}

std::vector<std::uint32_t> BackupCatalog::search(const QString& part) const
{
    const bool wholePath = part.contains(u'/');
    std::vector<std::uint32_t> matching;
    for (std::uint32_t id = 0; id < m_shown.size(); ++id) {
        const QString& shown = m_shown[id];
        if (shown.endsWith(u'/'))
            continue;
        const QStringView name = wholePath ? QStringView(shown) : QStringView(shown).mid(shown.lastIndexOf(u'/') + 1);
        if (name.contains(part, Qt::CaseInsensitive))
            matching.push_back(id);
    }
    std::sort(matching.begin(), matching.end(), [this](std::uint32_t a, std::uint32_t b) {
        const int order = m_shown[a].compare(m_shown[b], Qt::CaseInsensitive);
        return order != 0 ? order < 0 : m_paths[a] < m_paths[b];
    });
    std::vector<std::uint32_t> rank(m_paths.size(), 0);
    for (std::size_t i = 0; i < matching.size(); ++i)
        rank[matching[i]] = static_cast<std::uint32_t>(i + 1);
    std::vector<std::uint32_t> found;
    for (std::uint32_t id = 0; id < m_versions.size(); ++id) {
        const Version& version = m_versions[id];
        if (version.newest >= 0 && version.kind == EntryFacts::Kind::File && rank[version.path] != 0)
            found.push_back(id);
    }
    std::sort(found.begin(), found.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Version& x = m_versions[a];
        const Version& y = m_versions[b];
        return rank[x.path] != rank[y.path] ? rank[x.path] < rank[y.path] : x.mtimeNs > y.mtimeNs;
    });
    return found;
}
