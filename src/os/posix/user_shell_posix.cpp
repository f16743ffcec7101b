// The user's desktop and application-menu folders (XDG) and the desktop
// entries in them.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "os/posix/desktop_entry.h"
#include "os/posix/launcher_icon.h"
#include "os/user_shell.h"

namespace {

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home && *home) return home;
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof(buffer), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

// $<var> when it holds an absolute path (the XDG rule), else $HOME/<fallback>.
std::string XdgFolder(const char* var, const char* fallback) {
    const char* value = getenv(var);
    if (value && value[0] == '/') return value;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + fallback;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool CreateFolders(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes the icon where desktops look for it and returns its path; empty when
// it cannot be written, so the entry goes without an icon rather than with a
// broken one.
std::string InstallIcon() {
    const std::string dataHome = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (dataHome.empty()) return {};
    const std::string folder = dataHome + "/icons/hicolor/64x64/apps";
    const std::string path = folder + "/quon-launcher.png";
    const std::string_view png = LauncherIconPng();
    if (ReadText(path) == png) return path;
    if (!CreateFolders(folder) || !WriteFileAtomically(text::FromUtf8(path), png)) return {};
    return path;
}

}  // namespace

std::wstring GetDesktopFolder() {
    const std::string home = HomeFolder();
    const std::string configHome = XdgFolder("XDG_CONFIG_HOME", ".config");
    std::string desktop;
    if (!configHome.empty()) {
        desktop =
            desktop_entry::FindUserDir(ReadText(configHome + "/user-dirs.dirs"), "XDG_DESKTOP_DIR", home);
    }
    if (desktop.empty() && !home.empty()) desktop = home + "/Desktop";
    return text::FromUtf8(desktop);
}

std::wstring GetApplicationsFolder() {
    const std::string dataHome = XdgFolder("XDG_DATA_HOME", ".local/share");
    return dataHome.empty() ? std::wstring() : text::FromUtf8(dataHome + "/applications");
}

std::wstring ShortcutFileName() {
    return L"Quon.desktop";
}

void WriteShortcutFile(const std::wstring& path, const std::wstring& targetExecutable) {
    const std::string entry =
        desktop_entry::MakeApplicationEntry(NativePath(targetExecutable), InstallIcon());
    if (!WriteFileAtomically(path, entry)) return;
    // Desktops run only entries marked executable (the "trusted launcher" rule).
    chmod(NativePath(path).c_str(), 0755);
}
