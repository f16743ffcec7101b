#pragma once
// Writing the option files a test starts from.
#include <filesystem>
#include <fstream>
#include <string>

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path().empty() ? "." : file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// A defaults file of `version` whose GameOptionDefault holds `members`
// (JSON members without braces).
inline std::string DefaultsJson(int version, const std::string& members) {
    return "{\n \"GameOptionVersion\": \"" + std::to_string(version) + "\",\n \"GameOptionDefault\": {" + members +
           "}\n}\n";
}
