#include "zip/ZipReuse.h"

#include "base/NativePath.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <new>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// File systems whose change time the kernel sets on every change and no program can set.
bool keepsChangeTimes(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case NFS_SUPER_MAGIC:
    case 0x2FC12FC1: // ZFS
        return true;
    default:
        return false;
    }
}

} // namespace

bool ChangeTimeTrust::trusted(int fd, std::uint64_t device)
{
    std::lock_guard lock(m_mutex);
    auto found = m_byDevice.find(device);
    if (found == m_byDevice.end())
        found = m_byDevice.emplace(device, keepsChangeTimes(fd)).first;
    return found->second;
}

PreviousArchive::~PreviousArchive()
{
    close();
}

void PreviousArchive::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_directory = {};
    m_byName.clear();
    m_tagger.reset();
}

bool PreviousArchive::open(const QString& path, const QByteArray& key)
{
    close();
    m_fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (m_fd < 0)
        return false;
    try {
        if (!ReadCentralDirectory(m_fd, m_directory)) {
            close();
            return false;
        }
        m_byName.reserve(static_cast<qsizetype>(m_directory.entries.size()));
        for (std::size_t i = 0; i < m_directory.entries.size(); ++i)
            m_byName.insert(m_directory.entries[i].name, i);
        if (!key.isEmpty())
            m_tagger = std::make_unique<MessageTagger>(key);
    } catch (const std::bad_alloc&) {
        // An earlier archive only saves work: one too large for the memory there is goes unused.
        close();
        return false;
    }
    m_path = path;
    return true;
}

std::optional<PreviousArchive::Match> PreviousArchive::recorded(const QByteArray& name) const
{
    const auto found = m_byName.constFind(name);
    if (!m_tagger || found == m_byName.constEnd())
        return std::nullopt;
    const CentralEntry& entry = m_directory.entries[found.value()];
    if (entry.method != 8 || (entry.flags & 0x0001) != 0)
        return std::nullopt;
    std::optional<EntryRecord> record = EntryRecord::find(entry.extra, entry.name, *m_tagger);
    if (!record)
        return std::nullopt;
    std::optional<ZipWriter::CopiedData> data = locate(entry);
    // The sizes and CRCs come from the record alone: a damaged field of the directory is never
    // carried into a new archive.
    if (!data || record->compressedSize > m_directory.start - data->dataOffset)
        return std::nullopt;
    data->compressedSize = record->compressedSize;
    data->size = record->evidence.size;
    data->crc = record->crc;
    data->dataCrc = record->dataCrc;
    return Match { *data, *record, &entry };
}

std::optional<ZipWriter::CopiedData> PreviousArchive::locate(const CentralEntry& entry) const
{
    ZipWriter::CopiedData data;
    data.fd = m_fd;
    data.entryOffset = entry.localHeaderOffset;
    if (!LocateEntryData(m_fd, m_directory, entry, data.dataOffset, data.localHeader))
        return std::nullopt;
    data.compressedSize = entry.compressedSize;
    data.size = entry.size;
    data.crc = entry.crc;
    data.method = entry.method;
    return data;
}
