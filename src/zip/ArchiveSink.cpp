#include "zip/ArchiveSink.h"

#include "zip/ArchiveTemporary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t FlushAt = 4u << 20;

struct Sink
{
    ArchiveTemporary* temporary = nullptr;
    int fd = -1; // a descriptor of its own while writing
    std::vector<std::uint8_t> buffer; // bytes from file offset bufferStart on, not yet written
    std::uint64_t bufferStart = 0;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
    zip_error_t error;

    ~Sink()
    {
        // Still open here only when the archive was never committed (libzip calls no rollback
        // after a failed commit).
        discard();
        zip_error_fini(&error);
    }

    void discard()
    {
        if (fd < 0)
            return;
        ::close(fd);
        fd = -1;
        temporary->remove();
    }

    bool fail(int zipCode)
    {
        zip_error_set(&error, zipCode, errno);
        return false;
    }

    bool writeAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset)
    {
        while (size > 0) {
            const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(ZIP_ER_WRITE);
            }
            data += n;
            size -= static_cast<std::size_t>(n);
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }

    bool flush()
    {
        if (buffer.empty())
            return true;
        if (!writeAt(buffer.data(), buffer.size(), bufferStart))
            return false;
        bufferStart += buffer.size();
        buffer.clear();
        return true;
    }

    bool write(const std::uint8_t* data, std::size_t size)
    {
        // A rewrite of a header that already went to the file goes there directly.
        if (position < bufferStart) {
            const std::size_t before = static_cast<std::size_t>(std::min<std::uint64_t>(size, bufferStart - position));
            if (!writeAt(data, before, position))
                return false;
            data += before;
            size -= before;
            position += before;
        }
        if (size > 0) {
            const std::size_t at = static_cast<std::size_t>(position - bufferStart);
            if (buffer.size() < at + size)
                buffer.resize(at + size);
            std::memcpy(buffer.data() + at, data, size);
            position += size;
        }
        end = std::max(end, position);
        if (buffer.size() >= FlushAt && position == end)
            return flush();
        return true;
    }
};

zip_int64_t sinkCallback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* sink = static_cast<Sink*>(userdata);
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
    case ZIP_SOURCE_STAT:
        // There is no old archive to read: the new one is written from scratch.
        zip_error_set(&sink->error, ZIP_ER_READ, ENOENT);
        return -1;
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_READ:
    case ZIP_SOURCE_SEEK:
    case ZIP_SOURCE_TELL:
        return 0;
    case ZIP_SOURCE_BEGIN_WRITE:
        sink->fd = ::fcntl(sink->temporary->descriptor(), F_DUPFD_CLOEXEC, 0);
        if (sink->fd < 0 || ::ftruncate(sink->fd, 0) != 0) {
            zip_error_set(&sink->error, ZIP_ER_TMPOPEN, errno);
            return -1;
        }
        sink->buffer.reserve(FlushAt + (1u << 16));
        return 0;
    case ZIP_SOURCE_WRITE:
        return sink->write(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length))
            ? static_cast<zip_int64_t>(length)
            : -1;
    case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(sink->position);
    case ZIP_SOURCE_SEEK_WRITE: {
        auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &sink->error);
        if (!args)
            return -1;
        std::int64_t base = 0;
        if (args->whence == SEEK_CUR)
            base = static_cast<std::int64_t>(sink->position);
        else if (args->whence == SEEK_END)
            base = static_cast<std::int64_t>(sink->end);
        const std::int64_t target = base + args->offset;
        if (target < 0) {
            zip_error_set(&sink->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        sink->position = static_cast<std::uint64_t>(target);
        return 0;
    }
    case ZIP_SOURCE_COMMIT_WRITE:
        if (!sink->flush())
            return -1;
        if (::fsync(sink->fd) != 0) {
            zip_error_set(&sink->error, ZIP_ER_WRITE, errno);
            sink->discard();
            return -1;
        }
        {
            const int fd = std::exchange(sink->fd, -1);
            if (::close(fd) != 0) {
                zip_error_set(&sink->error, ZIP_ER_WRITE, errno);
                sink->temporary->remove();
                return -1;
            }
        }
        return 0;
    case ZIP_SOURCE_ROLLBACK_WRITE:
        sink->discard();
        sink->buffer.clear();
        return 0;
    case ZIP_SOURCE_REMOVE:
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&sink->error, data, length);
    case ZIP_SOURCE_FREE:
        delete sink;
        return 0;
    default:
        zip_error_set(&sink->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_source_t* CreateArchiveSink(ArchiveTemporary& temporary, zip_error_t* error)
{
    auto* sink = new Sink;
    sink->temporary = &temporary;
    zip_error_init(&sink->error);
    zip_source_t* source = zip_source_function_create(sinkCallback, sink, error);
    if (!source)
        delete sink;
    return source;
}
