#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Puts a file being written on the disk alongside the writing: a thread of its own keeps asking
// the system to start writing out what is already in the file, and, once asked, makes sure all of
// it is on the disk (fsync). The writer never waits for the disk until it needs the file safe.
class DiskFlush final
{
public:
    explicit DiskFlush(int fd);
    // Without finish(), the file is given up: it is not flushed.
    ~DiskFlush();
    DiskFlush(const DiskFlush&) = delete;
    DiskFlush& operator=(const DiskFlush&) = delete;

    // The file is complete: flush the rest, in the background.
    void finish();
    // Waits until the file is on the disk; 0, or the system's error number.
    int result();

private:
    void run();

    int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finishing = false;
    bool m_abandoned = false;
    bool m_done = false;
    int m_error = 0;
    std::thread m_thread;
};
