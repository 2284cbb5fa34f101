#include "zip/CentralRecords.h"

#include "base/NativePath.h"
#include "zip/DeflateWorker.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t FixedSize = 46;
constexpr std::size_t ReadStretch = 1u << 20;

std::size_t u16(const std::uint8_t* p)
{
    return static_cast<std::size_t>(p[0] | (p[1] << 8));
}

} // namespace

CentralRecords::CentralRecords(const QString& spillFolder, std::size_t memoryLimit)
    : m_folder(spillFolder)
    , m_limit(memoryLimit)
{ }

CentralRecords::~CentralRecords()
{
    if (m_spillFd >= 0)
        ::close(m_spillFd);
}

std::size_t CentralRecords::recordSize(const std::uint8_t* record)
{
    return FixedSize + u16(record + 28) + u16(record + 30) + u16(record + 32);
}

bool CentralRecords::append(const char* record, std::size_t size)
{
    if (m_memory.capacity() == 0 && !m_folder.isEmpty())
        m_memory.reserve(static_cast<qsizetype>(m_limit + (64u << 10)));
    m_memory.append(record, static_cast<qsizetype>(size));
    m_crc = Crc32(m_crc, reinterpret_cast<const std::uint8_t*>(record), size);
    ++m_count;
    if (static_cast<std::size_t>(m_memory.size()) < m_limit || m_folder.isEmpty())
        return true;
    return spill();
}

bool CentralRecords::spill()
{
    if (m_spillFd < 0) {
        m_spillFd = ::open(NativePath(m_folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_spillFd < 0) {
            m_folder.clear(); // no such file here: everything stays in memory
            return true;
        }
    }
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(m_memory.size())) {
        const ssize_t n
            = ::pwrite(m_spillFd, m_memory.constData() + done, static_cast<std::size_t>(m_memory.size()) - done,
                       static_cast<off_t>(m_spilled + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    m_spilled += done;
    m_memory.resize(0); // keeps its room for the next records
    return true;
}

bool CentralRecords::eachStretch(const std::function<bool(const std::uint8_t*, std::size_t)>& sink) const
{
    std::vector<std::uint8_t> stretch;
    for (std::uint64_t at = 0; at < m_spilled;) {
        stretch.resize(static_cast<std::size_t>(std::min<std::uint64_t>(ReadStretch, m_spilled - at)));
        const ssize_t n = ::pread(m_spillFd, stretch.data(), stretch.size(), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        if (!sink(stretch.data(), static_cast<std::size_t>(n)))
            return false;
        at += static_cast<std::uint64_t>(n);
    }
    return m_memory.isEmpty()
        || sink(reinterpret_cast<const std::uint8_t*>(m_memory.constData()), static_cast<std::size_t>(m_memory.size()));
}

CentralRecords::Reader::Reader(const CentralRecords& records, std::uint64_t from)
    : m_records(records)
    , m_position(from)
{ }

bool CentralRecords::Reader::fetch(std::size_t size)
{
    const std::uint64_t end = m_position + size;
    if (end <= m_windowStart + m_window.size() && m_position >= m_windowStart)
        return true;
    const std::size_t length = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::uint64_t>(size, ReadStretch), m_records.m_spilled - m_position));
    if (length < size)
        return false;
    m_window.resize(length);
    m_windowStart = m_position;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_records.m_spillFd, m_window.data() + done, length - done,
                                  static_cast<off_t>(m_windowStart + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CentralRecords::Reader::next(const std::uint8_t*& record, std::size_t& size)
{
    if (m_position >= m_records.size() || m_failed)
        return false;
    if (m_position >= m_records.m_spilled) {
        const auto* memory = reinterpret_cast<const std::uint8_t*>(m_records.m_memory.constData());
        record = memory + (m_position - m_records.m_spilled);
        size = recordSize(record);
    } else {
        // A record is never split between the spill file and memory: each spill takes whole ones.
        if (!fetch(FixedSize))
            return false;
        size = recordSize(m_window.data() + (m_position - m_windowStart));
        if (!fetch(size))
            return false;
        record = m_window.data() + (m_position - m_windowStart);
    }
    m_position += size;
    return true;
}
