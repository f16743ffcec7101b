// Temporaries of a new name on Windows: a random name created with
// CREATE_NEW, tried again while the name is taken.
#include <windows.h>

#include <cerrno>
#include <random>

#include "base/file_system.h"

namespace fsys {

bool TempFile::OpenUnique(std::string& pattern, File& file) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}() ^ GetCurrentThreadId()};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kChars) - 2);
    const size_t at = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = at; i < pattern.size(); ++i) pattern[i] = kChars[pick(random)];
        if (file.Open(pattern, File::Mode::kCreateExclusive)) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

}  // namespace fsys
