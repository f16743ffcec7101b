#pragma once
// Polls `done` every 10 ms until it holds or `timeoutMs` passed; whether it held.
#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
