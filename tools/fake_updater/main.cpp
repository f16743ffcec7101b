// Stand-in for the launcher's updater. It keeps the updater's contract: started
// in the install folder with one argument, it waits until the launcher that
// started it has ended, then starts the launcher again with that argument and
// "FromUpdater". It takes the launcher's place (exec on Linux; on Windows it
// waits for it and ends with its code), so that whoever waits for the
// updater, a terminal or a test, waits for the new launcher.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "launcher_start.h"
#include "os/process.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kGiveUp = std::chrono::seconds(30);

// One line per start, so that tests see that (and how often) it ran.
bool RecordRun(const std::string& argument) {
    FILE* out = fopen("updater-ran.txt", "a");
    if (!out) return false;
    const bool ok = fprintf(out, "%s\n", argument.c_str()) >= 0;
    return fclose(out) == 0 && ok;
}

bool WaitForLauncherToEnd() {
    const auto deadline = std::chrono::steady_clock::now() + kGiveUp;
    while (IsInstanceLockHeld(L"QUON Launcher")) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

}  // namespace

int UpdaterMain(int argc, const std::string& argument) {
    if (argc != 2) {
        fprintf(stderr, "QuonLauncherUpdater: expected one argument, got %d\n", argc - 1);
        return 2;
    }
    if (!RecordRun(argument)) perror("QuonLauncherUpdater: updater-ran.txt");
    if (!WaitForLauncherToEnd()) {
        fprintf(stderr, "QuonLauncherUpdater: the launcher did not end within 30 seconds\n");
        return 3;
    }
    return BecomeLauncher(argument);
}

