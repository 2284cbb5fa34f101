#include "backup/RunControl.h"

#include "zip/ZipCancel.h"

namespace RunControl {
namespace {
bool g_running = false;
bool g_cancel = false;
} // namespace

bool tryBegin()
{
    if (g_running)
        return false;
    g_running = true;
    g_cancel = false;
    ResetZipCancel();
    return true;
}

void end() { g_running = false; }

bool isRunning() { return g_running; }

void requestCancel()
{
    g_cancel = true;
    RequestZipCancel();
}

bool cancelRequested() { return g_cancel; }

} // namespace RunControl
