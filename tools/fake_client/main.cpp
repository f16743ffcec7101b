// Stand-in for the game client. It writes "client-ran.txt" into its working
// folder: each argument on a line of its own, then the working folder on the
// last line ("/" between components on every system). The file appears whole
// (temporary file + rename), so a test that polls for it never reads half of it.
// QUON_FAKE_CLIENT_LINGER_MS=<n>: stay alive n ms before exiting, so that the
// launcher's client-running rule can be exercised.
// QUON_FAKE_CLIENT_WINDOW=<class>: while lingering, show a window of that
// class, as the real client's main window does (client_window_<os>.cpp).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "client_window.h"

namespace {

bool RecordRun(const std::vector<std::string>& args) {
    std::string record;
    for (const auto& arg : args) record += arg + "\n";
    std::error_code ec;
    const std::u8string cwd = std::filesystem::current_path(ec).generic_u8string();
    if (ec) return false;
    record += std::string(cwd.begin(), cwd.end()) + "\n";
    {
        std::ofstream out("client-ran.txt.tmp", std::ios::binary | std::ios::trunc);
        if (!out.write(record.data(), static_cast<std::streamsize>(record.size())).flush()) return false;
    }
    std::filesystem::rename("client-ran.txt.tmp", "client-ran.txt", ec);
    return !ec;
}

}  // namespace

int ClientMain(const std::vector<std::string>& args) {
    if (!RecordRun(args)) std::fprintf(stderr, "Vevida2.0.exe: cannot write client-ran.txt\n");
    const char* linger = std::getenv("QUON_FAKE_CLIENT_LINGER_MS");
    if (!linger || !*linger) return 0;
    const char* windowClass = std::getenv("QUON_FAKE_CLIENT_WINDOW");
    const ClientWindow window(windowClass ? windowClass : "");
    window.Linger(std::chrono::milliseconds(std::atol(linger)));
    return 0;
}
