#include "os/thread_start.h"

#include <atomic>

namespace {
std::atomic<void (*)()> g_prepare{nullptr};
}  // namespace

void SetThreadPreparation(void (*prepare)()) {
    g_prepare.store(prepare);
}

void PrepareStartedThread() {
    if (void (*prepare)() = g_prepare.load()) prepare();
}
