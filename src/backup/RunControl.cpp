#include "backup/RunControl.h"

#include <atomic>

namespace RunControl {
namespace {
bool g_running = false;
// Read by the archive engine's threads through the zip job's cancel check.
std::atomic<bool> g_cancel { false };
} // namespace

bool TryBegin()
{
    if (g_running)
        return false;
    g_running = true;
    g_cancel.store(false);
    return true;
}

void End()
{
    g_running = false;
}

bool IsRunning()
{
    return g_running;
}

void RequestCancel()
{
    g_cancel.store(true);
}

bool CancelRequested()
{
    return g_cancel.load();
}

} // namespace RunControl
