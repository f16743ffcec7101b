#include "support/child_process.h"

#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/wait_until.h"

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) const {
    return WaitUntil([&] { return Output().find(text) != std::string::npos; }, timeoutMs);
}

std::string LauncherBinary() { return std::string(QUON_BIN_DIR) + "/QuonLauncher.exe"; }

std::string ToolBinary(const std::string& name) { return std::string(QUON_BIN_DIR) + "/../tools-bin/" + name; }

std::string CopyClient(const TempDir& dir, const std::string& prefix) {
    const std::string name = prefix + std::to_string(getpid()) + ".exe";
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), Utf8Path(dir.Join(name)));
    return name;
}
