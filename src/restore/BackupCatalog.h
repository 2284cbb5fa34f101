#pragma once

#include "restore/EntryFacts.h"
#include "zip/ZipDirectory.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

// What one listed folder's archives hold, read from their central directories only (never their
// data), for finding a file and its versions. The paths and versions the archives share are stored
// once, so hundreds of archives of tens of thousands of entries each take little memory; an
// archive is read again only when its file changes. Paths are relative to the listed folder.
//
// Not shared between threads: one thread updates it while no other looks.
class BackupCatalog final
{
public:
    struct Archive
    {
        QString path;
        QDateTime modified;
        qint64 bytes = 0;
        int files = 0;
        QString problem; // why its directory cannot be read; it has no entries then
        QByteArray root; // what every stored name begins with: see update()
        std::vector<std::uint32_t> entries; // versions, in the archive's order

        // The file as it was when it was read.
        struct Stamp
        {
            std::uint64_t device = 0, inode = 0, size = 0;
            std::int64_t mtimeNs = 0;
            bool operator==(const Stamp&) const = default;
        } stamp;
    };

    // One path with one content: identical entries of several archives are one version.
    struct Version
    {
        std::uint32_t path = 0;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0;
        EntryFacts::Kind kind = EntryFacts::Kind::File;
        int newest = -1; // the newest archive that holds it, -1 when none does any more
    };

    // Brings the catalog to these archive files, newest first. A stored name is taken relative to
    // folderRoot (the listed folder's stored path and "/") when all of its archive's names begin
    // with it, otherwise relative to the longest start of whole folders they share.
    void update(const QStringList& archives, const QByteArray& folderRoot, const std::function<bool()>& cancelled);
    // True when update() would read nothing and change nothing.
    bool isCurrent(const QStringList& archives) const;

    const std::vector<Archive>& archives() const { return m_archives; }
    const Version& version(std::uint32_t id) const { return m_versions[id]; }
    // A path as stored (relative, its bytes exact; folders end in "/"), and as shown.
    const QByteArray& path(std::uint32_t id) const { return m_paths[id]; }
    const QString& shownPath(std::uint32_t id) const { return m_shown[id]; }

    // The file versions held by any archive whose file name (or, when `part` holds a "/", whose
    // path) contains `part`, ignoring case: by path, newest first.
    std::vector<std::uint32_t> search(const QString& part) const;

private:
    struct VersionKey
    {
        std::uint32_t path;
        std::uint32_t crc;
        std::uint64_t size;
        std::int64_t mtimeNs;
        bool operator==(const VersionKey&) const = default;
    };
    struct KeyHash
    {
        std::size_t operator()(const VersionKey& key) const;
    };

    // The archive read last, whose entries the next one mostly repeats.
    struct LastRead
    {
        CentralDirectory directory;
        QByteArray root;
        std::vector<std::uint32_t> ids; // for each entry of the directory; NoVersion for none
    };
    static constexpr std::uint32_t NoVersion = ~0u;

    Archive read(const QString& path, const Archive::Stamp& stamp, const QByteArray& folderRoot, LastRead& last);
    std::uint32_t versionOf(const CentralEntry& entry, const QByteArray& relative);
    std::uint32_t pathId(const QByteArray& path);

    std::vector<Archive> m_archives;
    std::vector<Version> m_versions;
    std::vector<QByteArray> m_paths;
    std::vector<QString> m_shown;
    QHash<QByteArray, std::uint32_t> m_pathIds;
    std::unordered_map<VersionKey, std::uint32_t, KeyHash> m_versionIds;
};
