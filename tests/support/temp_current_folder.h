#pragma once
// A fresh temporary folder made current for one test, removed afterwards.
#include <unistd.h>

#include <filesystem>
#include <string>

class TempCurrentFolder {
public:
    TempCurrentFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quon-cwd-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_path);
    }
    ~TempCurrentFolder() {
        std::filesystem::current_path(m_previous);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};
