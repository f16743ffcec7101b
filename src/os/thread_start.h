#pragma once
// The one way the program starts a thread: the thread gets the crash
// handler's alternate signal stack before its work begins. Without it a
// stack overflow on that thread has no stack left to run the handler on, and
// the process ends with no question and no dump.
#include <functional>
#include <thread>
#include <utility>

// Set by the crash hooks when they are installed (PrepareThreadForCrash);
// until then, and in programs without them, threads start as they are.
void SetThreadPreparation(void (*prepare)());
// Runs the preparation on the calling thread.
void PrepareStartedThread();

template <class Function, class... Args>
std::thread StartThread(Function&& function, Args&&... args) {
    return std::thread(
        [](auto&& body, auto&&... values) {
            PrepareStartedThread();
            std::invoke(std::forward<decltype(body)>(body), std::forward<decltype(values)>(values)...);
        },
        std::forward<Function>(function), std::forward<Args>(args)...);
}
