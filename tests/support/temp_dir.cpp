#include <sys/mount.h>

#include "support/test_common.h"

TempDir::TempDir() {
    std::string pattern = "/tmp/quon-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only files; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::wstring TempDir::wpath() const { return text::FromUtf8(m_path); }

std::string TempDir::Join(const std::string& relative) const { return m_path + "/" + relative; }

void TempDir::WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path full = Join(relative);
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::ReadFile(const std::string& relative) const { return ReadWholeFile(Join(relative)); }

bool TempDir::Exists(const std::string& relative) const { return std::filesystem::exists(Join(relative)); }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::wstring ReadUtf16File(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    return text::DecodeUtf16LE(bytes.starts_with("\xFF\xFE") ? bytes.substr(2) : bytes);
}

std::map<std::string, std::string> FolderTree(const std::string& folder, bool recursive, bool contents) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!recursive) it.disable_recursion_pending();
        const bool file = it->is_regular_file();
        tree[fs::relative(it->path(), folder).string()] = !file ? "<folder>" : contents ? ReadWholeFile(it->path()) : "";
    }
    return tree;
}

std::string FolderNames(const std::string& folder, bool recursive) {
    std::string names;
    for (const auto& [name, content] : FolderTree(folder, recursive, false)) names += (names.empty() ? "" : " ") + name;
    return names;
}

ScopedTmpfs::ScopedTmpfs(const std::string& where, const std::string& options, unsigned long flags)
    : folder(where),
      mounted((std::filesystem::create_directories(where), mount("tmpfs", where.c_str(), "tmpfs", flags,
                                                                 options.c_str()) == 0)) {}

ScopedTmpfs::~ScopedTmpfs() {
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
}
