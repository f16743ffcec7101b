// The user's desktop and Programs menu, and the shell links in them.

// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include "os/user_shell.h"

namespace {

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

std::wstring WindowsSpelling(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

}  // namespace

std::wstring GetDesktopFolder() {
    return ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

std::wstring GetApplicationsFolder() {
    return ShellFolder(CSIDL_PROGRAMS);
}

std::wstring ShortcutFileName() {
    return L"Quon.lnk";
}

void WriteShortcutFile(const std::wstring& path, const std::wstring& targetExecutable) {
    const HRESULT init = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        const std::wstring target = WindowsSpelling(targetExecutable);
        link->SetPath(target.c_str());
        link->SetIconLocation(target.c_str(), 0);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            file->Save(WindowsSpelling(path).c_str(), TRUE);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
}
