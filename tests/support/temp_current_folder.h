#pragma once
// A fresh temporary folder made current for one test, removed afterwards.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

class TempCurrentFolder {
public:
    TempCurrentFolder() {
        m_path = MakeTempFolder("quon-cwd-");
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_path);
    }
    ~TempCurrentFolder() {
        std::filesystem::current_path(m_previous);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }

    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};
