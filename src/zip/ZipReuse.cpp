#include "zip/ZipReuse.h"

#include "base/NativePath.h"
#include "zip/DeflateWorker.h"

#include <atomic>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint8_t RecordVersion = 1;
constexpr int RecordSize = 1 + 8 + 8 + 8 + 8 + 4;

void put(QByteArray& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t get(const QByteArray& in, int at, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in.at(at + i))) << (8 * i);
    return v;
}

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

QByteArray EntryRecordField(const FileEvidence& evidence, std::uint32_t dataCrc)
{
    QByteArray field;
    field.reserve(4 + RecordSize);
    put(field, EntryRecordId, 2);
    put(field, RecordSize, 2);
    put(field, RecordVersion, 1);
    put(field, evidence.size, 8);
    put(field, static_cast<std::uint64_t>(evidence.mtimeNs), 8);
    put(field, static_cast<std::uint64_t>(evidence.ctimeNs), 8);
    put(field, evidence.inode, 8);
    put(field, dataCrc, 4);
    return field;
}

bool LastingEvidence::lasts(const FileEvidence& evidence, std::int64_t readStartNs, int fd, std::uint64_t device)
{
    if (evidence.ctimeNs > readStartNs - LastingMargin)
        return false;
    std::lock_guard lock(m_mutex);
    auto found = m_keepsChangeTimes.find(device);
    if (found == m_keepsChangeTimes.end())
        found = m_keepsChangeTimes.emplace(device, keepsChangeTimes(fd)).first;
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
    m_directory = {};
    m_byName.clear();
}

bool PreviousArchive::open(const QString& path)
{
    close();
    m_fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (m_fd < 0)
        return false;
    if (!ReadCentralDirectory(m_fd, m_directory)) {
        close();
        return false;
    }
    m_byName.reserve(static_cast<qsizetype>(m_directory.entries.size()));
    for (std::size_t i = 0; i < m_directory.entries.size(); ++i)
        m_byName.insert(m_directory.entries[i].name, i);
    return true;
}

std::optional<PreviousArchive::Match> PreviousArchive::reusable(const QByteArray& name, const FileEvidence& now) const
{
    const auto found = m_byName.constFind(name);
    if (found == m_byName.constEnd())
        return std::nullopt;
    const CentralEntry& entry = m_directory.entries[found.value()];
    const QByteArray record = FindExtraField(entry.extra, EntryRecordId);
    if (entry.method != 8 || (entry.flags & 0x0001) != 0 || record.size() != RecordSize
        || static_cast<std::uint8_t>(record.at(0)) != RecordVersion)
        return std::nullopt;
    FileEvidence recorded;
    recorded.size = get(record, 1, 8);
    recorded.mtimeNs = static_cast<std::int64_t>(get(record, 9, 8));
    recorded.ctimeNs = static_cast<std::int64_t>(get(record, 17, 8));
    recorded.inode = get(record, 25, 8);
    if (!(recorded == now) || entry.size != recorded.size)
        return std::nullopt;
    const std::optional<ZipWriter::CopiedData> data = locate(entry);
    if (!data)
        return std::nullopt;
    Match match;
    match.data = *data;
    match.dataCrc = static_cast<std::uint32_t>(get(record, 33, 4));
    match.record = EntryRecordField(recorded, match.dataCrc);
    return match;
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

bool RecordedDataIntact(int fd, const std::vector<RecordedData>& stretches, int threads,
                        const std::function<bool()>& cancelled)
{
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> intact { true };
    auto work = [&] {
        std::vector<std::uint8_t> buffer(1u << 20);
        for (std::size_t i = next++; i < stretches.size() && intact && !cancelled(); i = next++) {
            const RecordedData& stretch = stretches[i];
            std::uint32_t crc = 0;
            for (std::uint64_t done = 0; done < stretch.length;) {
                const std::size_t want
                    = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), stretch.length - done));
                const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(stretch.offset + done));
                if (got <= 0) {
                    intact = false;
                    return;
                }
                crc = Crc32(crc, buffer.data(), static_cast<std::size_t>(got));
                done += static_cast<std::uint64_t>(got);
            }
            if (crc != stretch.crc)
                intact = false;
        }
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return intact && !cancelled();
}

std::optional<FileEvidence> RecordedEvidence(const QByteArray& extra)
{
    const QByteArray record = FindExtraField(extra, EntryRecordId);
    if (record.size() != RecordSize || static_cast<std::uint8_t>(record.at(0)) != RecordVersion)
        return std::nullopt;
    return FileEvidence { get(record, 1, 8), static_cast<std::int64_t>(get(record, 9, 8)),
                          static_cast<std::int64_t>(get(record, 17, 8)), get(record, 25, 8) };
}
