// Feeds arbitrary bytes to the option store as Config/Option.json or as the
// defaults file: loading must never throw or crash, and whatever it loaded
// must survive a save and a second load unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>

#include "services/game_option/game_option.h"

namespace {
const char kDefaults[] =
    "{\"GameOptionVersion\":\"3\",\"GameOptionDefault\":{\"ScreenMode\":\"WindowMode\",\"ScreenWidth\":\"1280\"}}";

void Write(const char* path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
}

bool SameOptions(const COMMON_UTIL::GAME_OPTION::GameOption& a, const COMMON_UTIL::GAME_OPTION::GameOption& b) {
    return a.ScreenMode == b.ScreenMode && a.ScreenWidth == b.ScreenWidth && a.ScreenHeight == b.ScreenHeight &&
           a.RememberLoginID == b.RememberLoginID && a.Language == b.Language && a.UIScale == b.UIScale &&
           a.GameOptionVersion == b.GameOptionVersion && a.SoundMaster == b.SoundMaster;
}
}  // namespace

static std::string g_folder;

static void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every file the store touches is relative to the current folder.
    char folder[] = "/tmp/quon-fuzz-options-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) abort();
    g_folder = folder;
    std::atexit(RemoveFolder);
    std::filesystem::create_directories("Config");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool asDefaults = size > 0 && (data[0] & 1);
    if (asDefaults) {
        Write("DefaultOption.json", data + 1, size - 1);
        std::filesystem::remove("Config/Option.json");
    } else {
        Write("DefaultOption.json", reinterpret_cast<const uint8_t*>(kDefaults), sizeof(kDefaults) - 1);
        Write("Config/Option.json", data, size);
    }
    COMMON_UTIL::GAME_OPTION::GameOption first;
    if (!first.Load(L"DefaultOption.json", std::locale())) return 0;
    first.Save(std::locale());
    COMMON_UTIL::GAME_OPTION::GameOption second;
    if (!second.Load(L"DefaultOption.json", std::locale()) || !SameOptions(first, second)) abort();
    return 0;
}
