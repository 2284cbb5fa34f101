#pragma once

#include <QByteArray>
#include <zip.h>

// A finished archive's file, read by libzip with one system call per read and no buffering of
// its own, so the entries' data goes straight into the caller's memory. Each source made from it
// has a position of its own, so several threads can read the file at once.
class ArchiveFile final
{
public:
    explicit ArchiveFile(const QByteArray& path);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // The system's error number when the file could not be opened, or 0.
    int error() const { return m_error; }
    int descriptor() const { return m_fd; }
    // A new read-only source over the file, or null with `error` set.
    zip_source_t* source(zip_error_t* error) const;

private:
    struct Reader;
    static zip_int64_t call(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command);

    int m_fd = -1;
    zip_uint64_t m_size = 0;
    int m_error = 0;
};
