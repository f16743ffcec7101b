#pragma once
// Who published this launcher: the command line, and the patch and notice
// URLs it selects.
#include <functional>
#include <string>
#include <vector>

class LauncherPlatform;

namespace PUBLISHER_INFO {

class Common {
public:
    virtual ~Common() = default;
    virtual bool ParseCommandLine() = 0;
    virtual bool RepairShortcuts() = 0;

    std::wstring GetPatchUrl() const { return m_strPatchUrl; }
    std::wstring GetNoticeUrl() const { return m_strNoticeUrl; }
    std::wstring GetArgument() const { return m_strArgument; }
    bool IsFromUpdater() const { return m_bFromUpdater; }

protected:
    std::wstring m_strPatchUrl;
    std::wstring m_strNoticeUrl;
    std::wstring m_strArgument;
    bool m_bFromUpdater = false;
};

class Manager : public Common {
public:
    using MessageBoxFn = std::function<void(const std::wstring& text)>;

    // `arguments` are the process's arguments, argument 0 the program path.
    Manager(LauncherPlatform& platform, std::vector<std::wstring> arguments, MessageBoxFn showMessage);

    bool ParseCommandLine() override;
    bool RepairShortcuts() override;

private:
    LauncherPlatform& m_platform;
    std::vector<std::wstring> m_arguments;
    MessageBoxFn m_showMessage;
};

// "http://" + host + path.
std::wstring ServerUrl(const std::string& host, const wchar_t* path);

}  // namespace PUBLISHER_INFO
