#include "base/ExitDeadline.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <semaphore.h>
#include <thread>

namespace ExitDeadline {
namespace {
sem_t g_armed;
std::atomic<bool> g_installed { false };
} // namespace

void Install(std::chrono::milliseconds grace)
{
    if (g_installed.load() || ::sem_init(&g_armed, 0, 0) != 0)
        return;
    g_installed.store(true);
    std::thread([grace] {
        while (::sem_wait(&g_armed) != 0 && errno == EINTR) { }
        std::this_thread::sleep_for(grace);
        // Settings are written as they change and the log entry by entry, and an archive being
        // made only ever replaces the old one whole: nothing is lost by ending here.
        std::_Exit(0);
    }).detach();
}

void Arm()
{
    // sem_post may be called from a signal handler.
    if (g_installed.load())
        ::sem_post(&g_armed);
}

} // namespace ExitDeadline
