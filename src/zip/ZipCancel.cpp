#include "zip/ZipCancel.h"

#include <atomic>

namespace {
std::atomic<bool> g_cancel{false};
}

void RequestZipCancel() { g_cancel.store(true); }

void ResetZipCancel() { g_cancel.store(false); }

bool ZipCancelRequested() { return g_cancel.load(); }
