#include "zip/ArchiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct ArchiveFile::Reader
{
    const ArchiveFile* file;
    zip_uint64_t position;
    zip_error_t error;
};

ArchiveFile::ArchiveFile(const QByteArray& path)
    : m_fd(::open(path.constData(), O_RDONLY | O_CLOEXEC))
{
    struct stat st;
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0)
        m_size = static_cast<zip_uint64_t>(st.st_size);
    else
        m_error = errno;
}

ArchiveFile::~ArchiveFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

zip_source_t* ArchiveFile::source(zip_error_t* error) const
{
    auto* reader = new Reader { this, 0, {} };
    zip_error_init(&reader->error);
    zip_source_t* source = zip_source_function_create(&ArchiveFile::call, reader, error);
    if (!source)
        delete reader;
    return source;
}

zip_int64_t ArchiveFile::call(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* reader = static_cast<Reader*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_READ: {
        ssize_t got = 0;
        do {
            got = ::pread(reader->file->m_fd, data, length, static_cast<off_t>(reader->position));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            zip_error_set(&reader->error, ZIP_ER_READ, errno);
            return -1;
        }
        reader->position += static_cast<zip_uint64_t>(got);
        return got;
    }
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t at
            = zip_source_seek_compute_offset(reader->position, reader->file->m_size, data, length, &reader->error);
        if (at < 0)
            return -1;
        reader->position = static_cast<zip_uint64_t>(at);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(reader->position);
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE;
        st->size = reader->file->m_size;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&reader->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&reader->error);
        delete reader;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&reader->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}
