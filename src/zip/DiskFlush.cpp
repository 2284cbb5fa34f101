#include "zip/DiskFlush.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

DiskFlush::DiskFlush(int fd)
    : m_fd(fd)
    , m_thread([this] { run(); })
{ }

DiskFlush::~DiskFlush()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = !m_finishing; // a file given up is not worth the wait for the disk
        m_finishing = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void DiskFlush::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_all();
}

int DiskFlush::result()
{
    finish();
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_done; });
    return m_error;
}

void DiskFlush::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_finishing) {
        lock.unlock();
        // Only starts the writing of pages already dirty; it may wait for the disk, in this thread.
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        lock.lock();
        m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_finishing; });
    }
    if (m_abandoned)
        return;
    lock.unlock();
    const int error = ::fsync(m_fd) == 0 ? 0 : errno;
    lock.lock();
    m_error = error;
    m_done = true;
    m_wake.notify_all();
}
