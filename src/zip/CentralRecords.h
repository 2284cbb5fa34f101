#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The central directory of an archive being written, record after record, as the bytes it will
// have in the archive. Up to a limit the bytes stay in memory; beyond it they go to an unnamed
// file in the archive's folder (gone with the last descriptor), so a tree of a million files
// costs no more memory than a small one. Where no such file can be made they all stay in memory.
class CentralRecords final
{
public:
    // spillFolder empty: memory only.
    explicit CentralRecords(const QString& spillFolder = {}, std::size_t memoryLimit = 1u << 20);
    ~CentralRecords();
    CentralRecords(const CentralRecords&) = delete;
    CentralRecords& operator=(const CentralRecords&) = delete;

    // False (with errno set) when the spill file cannot take the bytes.
    bool append(const char* record, std::size_t size);
    std::uint64_t size() const { return m_spilled + m_memory.size(); }
    std::uint64_t count() const { return m_count; }
    // The CRC-32 of every byte appended.
    std::uint32_t crc() const { return m_crc; }

    // Hands every byte to the sink in order, a stretch at a time; false when the sink refuses or
    // the spill file cannot be read (errno set).
    bool eachStretch(const std::function<bool(const std::uint8_t*, std::size_t)>& sink) const;

    // Reads the records in order from a byte position that begins one, a record at a time.
    class Reader
    {
    public:
        Reader(const CentralRecords& records, std::uint64_t from = 0);
        // The next record (valid until the next call), or false at the end or when the spill
        // file cannot be read (see failed()).
        bool next(const std::uint8_t*& record, std::size_t& size);
        std::uint64_t position() const { return m_position; }
        bool failed() const { return m_failed; }

    private:
        bool fetch(std::size_t size);

        const CentralRecords& m_records;
        std::uint64_t m_position;
        std::vector<std::uint8_t> m_window; // spilled bytes from m_windowStart on
        std::uint64_t m_windowStart = 0;
        bool m_failed = false;
    };

    // The length of the record whose fixed part lies at `record` (at least 46 bytes).
    static std::size_t recordSize(const std::uint8_t* record);

private:
    bool spill();

    QString m_folder;
    std::size_t m_limit;
    int m_spillFd = -1;
    std::uint64_t m_spilled = 0; // bytes in the spill file, all before those in memory
    QByteArray m_memory;
    std::uint64_t m_count = 0;
    std::uint32_t m_crc = 0;
};
