#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

#include "base/file_system.h"
#include "util/text_util.h"

std::filesystem::path MakeTempFolder(const char* prefix) {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path path = base / (prefix + std::to_string(random()));
        if (std::filesystem::create_directory(path)) return path;
    }
    throw std::runtime_error("no temporary folder");
}

// "/" between components on every system, as the launcher's paths have.
TempDir::TempDir() {
    const std::u8string path = MakeTempFolder("quon-test-").generic_u8string();
    m_path.assign(path.begin(), path.end());
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only files; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(Utf8Path(m_path), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(Utf8Path(m_path), ec);
    // What MinGW's remove_all cannot reach (past MAX_PATH).
    if (ec) fsys::RemoveTree(m_path);
}

std::wstring TempDir::wpath() const { return text::FromUtf8(m_path); }

std::string TempDir::Join(const std::string& relative) const { return m_path + "/" + relative; }

void TempDir::WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path full = Utf8Path(Join(relative));
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::ReadFile(const std::string& relative) const { return ReadWholeFile(Join(relative)); }

bool TempDir::Exists(const std::string& relative) const { return std::filesystem::exists(Utf8Path(Join(relative))); }

std::filesystem::path Utf8Path(const std::string& path) {
    std::u8string text(path.begin(), path.end());
    // A path on a Windows drive takes the "\\?\" form (and "\" only), so that
    // what lies below it may pass MAX_PATH; that form takes ".." literally.
    if (text.size() > 2 && text[1] == u8':') {
        std::replace(text.begin(), text.end(), u8'/', u8'\\');
        text = u8"\\\\?\\" + std::filesystem::path(text).lexically_normal().u8string();
    }
    return std::filesystem::path(text);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::wstring ReadUtf16File(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    return text::DecodeUtf16LE(bytes.starts_with("\xFF\xFE") ? bytes.substr(2) : bytes);
}

// Through the file service: MinGW's directory iterator stops at MAX_PATH.
std::map<std::string, std::string> FolderTree(const std::string& folder, bool recursive, bool contents) {
    std::map<std::string, std::string> tree;
    fsys::WalkTree(folder, [&](const std::string& path, fsys::Kind kind) {
        std::string relative = path.substr(folder.size() + 1);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        if (!recursive && relative.find('/') != std::string::npos) return;
        const bool file = kind == fsys::Kind::kFile ||
                          (kind == fsys::Kind::kLink && fsys::KindOfTarget(path) == fsys::Kind::kFile);
        tree[relative] = !file ? "<folder>" : contents ? ReadWholeFile(path) : "";
    });
    return tree;
}

std::string FolderNames(const std::string& folder, bool recursive) {
    std::string names;
    for (const auto& [name, content] : FolderTree(folder, recursive, false)) names += (names.empty() ? "" : " ") + name;
    return names;
}
