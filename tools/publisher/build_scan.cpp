#include "build_scan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <map>

#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/list_file_format.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxRelativePath = 259;
const wchar_t kProbeChecksum[] = L"0123456789abcdef0123456789abcdef";

std::string Quote(const std::string& relative) {
    return "\"" + relative + "\"";
}

// Why a relative path cannot be listed, or empty when it can.
std::string ListingProblem(const std::wstring& relative, const std::vector<std::string>& rawNames) {
    for (const std::string& name : rawNames) {
        if (text::ToUtf8(text::FromUtf8(name)) != name) return "its name is not valid UTF-8";
        if (name.find('\\') != std::string::npos) return "a name holds a backslash, the lists' separator";
    }
    if (relative.find(L'|') != std::wstring::npos) return "it holds \"|\", the lists' field separator";
    if (relative.find_first_of(L"\r\n") != std::wstring::npos) return "it holds a line break";
    if (relative.size() > kMaxRelativePath) {
        return "its relative path has " + std::to_string(relative.size()) + " characters, more than " +
               std::to_string(kMaxRelativePath);
    }
    if (!IsSafeRelativePath(relative)) return "it holds a control character or a colon";
    if (relative == L"packclit.lit") return "the launcher keeps its own client list under this name";
    std::wstring top = relative.substr(0, relative.find(L'\\'));
    std::transform(top.begin(), top.end(), top.begin(), ::towlower);
    if (top == L"temp" && relative.find(L'\\') != std::wstring::npos) {
        return "the launcher empties its Temp folder";
    }
    PackFileInfo probe;
    probe.nFileSize = INT32_MAX;
    probe.nDownloadSize = INT32_MAX;
    probe.szChecksum = kProbeChecksum;
    probe.szPath = relative;
    if (!IsListableEntry(probe)) {
        return "a list line would not carry it unchanged (a line holds at most 258 characters, which leaves "
               "204 for the path; tabs, backspaces and back-quotes are dropped)";
    }
    return {};
}

struct Walker {
    std::vector<BuildFile>& files;
    std::vector<std::string>& problems;

    void Walk(const fs::path& folder, std::wstring relativePrefix, std::vector<std::string> names) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            problems.push_back(Quote(folder.string()) + ": cannot read the folder: " + ec.message());
            return;
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            const fs::path full = it->path();
            const std::string name = full.filename().string();
            std::vector<std::string> childNames = names;
            childNames.push_back(name);
            const std::wstring relative = relativePrefix + text::FromUtf8(name);
            struct stat st {};
            if (stat(full.c_str(), &st) != 0) {
                problems.push_back(Quote(text::ToUtf8(relative)) +
                                   ": a link that leads nowhere or cannot be read");
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                struct stat lst {};
                if (lstat(full.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
                    problems.push_back(Quote(text::ToUtf8(relative)) + ": a symbolic link to a folder");
                    continue;
                }
                Walk(full, relative + L"\\", childNames);
                continue;
            }
            if (!S_ISREG(st.st_mode)) {
                problems.push_back(Quote(text::ToUtf8(relative)) + ": not a regular file");
                continue;
            }
            std::string problem = ListingProblem(relative, childNames);
            if (!problem.empty()) {
                problems.push_back(Quote(text::ToUtf8(relative)) + ": " + problem);
                continue;
            }
            files.push_back(BuildFile{relative, full.string(), static_cast<uint64_t>(st.st_size),
                                      static_cast<uint32_t>(st.st_mode), static_cast<int64_t>(st.st_mtime)});
        }
        if (ec) problems.push_back(Quote(folder.string()) + ": cannot read the folder: " + ec.message());
    }
};

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

}  // namespace

std::vector<BuildFile> ScanBuildFolder(const std::string& buildFolder, std::vector<std::string>& problems) {
    std::vector<BuildFile> files;
    Walker{files, problems}.Walk(buildFolder, L"", {});
    std::sort(files.begin(), files.end(),
              [](const BuildFile& a, const BuildFile& b) { return a.relativePath < b.relativePath; });
    // A Windows install folder does not tell letter case apart.
    std::map<std::wstring, const BuildFile*> folded;
    for (const BuildFile& f : files) {
        auto [it, added] = folded.emplace(Folded(f.relativePath), &f);
        if (!added) {
            problems.push_back(Quote(text::ToUtf8(f.relativePath)) + ": differs from " +
                               Quote(text::ToUtf8(it->second->relativePath)) + " only in letter case");
        }
    }
    return files;
}
