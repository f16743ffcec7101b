#include "launcher/publisher_info.h"

#include "services/crash/exception_handler.h"
#include "util/file_util.h"
#include "util/text_util.h"
#include "launcher/launcher_messages.h"
#include "launcher/launcher_platform.h"
#include "os/user_shell.h"

namespace PUBLISHER_INFO {

std::wstring ServerUrl(const std::string& host, const wchar_t* path) {
    return L"http://" + text::FromUtf8(host) + path;
}

Manager::Manager(LauncherPlatform& platform, std::vector<std::wstring> arguments, MessageBoxFn showMessage)
    : m_platform(platform), m_arguments(std::move(arguments)), m_showMessage(std::move(showMessage)) {}

bool Manager::ParseCommandLine() {
    ExceptionHandler::SetMessage(L"Notice", L"An error has occurred.\nDo you record error?");
    m_strArgument = L"NOT_USE_ARG1";
    const size_t count = m_arguments.size();
    bool ok = true;
    if (count == 2) {
        m_strArgument = m_arguments[1];
    } else if (count == 3) {
        m_strArgument = m_arguments[1];
        if (m_arguments[2] == L"FromUpdater") {
            m_bFromUpdater = true;
        } else {
            ok = false;
        }
    } else if (count != 1) {
        ok = false;
    }
    if (!ok) {
        m_showMessage(GetLauncherMessage(15));
        return false;
    }

    const LauncherConfig& config = m_platform.Config();
    if (m_strArgument == L"QA") {
        m_strPatchUrl = ServerUrl(config.patchHost, L"/patch_qa/");
        m_strNoticeUrl = ServerUrl(config.testWebHost, L"/en/launcher");
    } else if (m_strArgument == L"StageEU") {
        m_strPatchUrl = ServerUrl(config.patchHost, L"/patch_stage_eu/");
        m_strNoticeUrl = ServerUrl(config.patchHost, L"/notice_link_stage_eu.html");
    } else {
        m_strPatchUrl = ServerUrl(config.patchHost, L"/patch/");
        m_strNoticeUrl = ServerUrl(config.webHost, L"/en/launcher");
    }
    return true;
}

bool Manager::RepairShortcuts() {
    const std::wstring self = m_platform.GetExecutablePath();
    const std::wstring candidates[] = {
        m_platform.GetDesktopFolder() + L"/" + ShortcutFileName(),
        m_platform.GetApplicationsFolder() + L"/Brisko/Quon/" + ShortcutFileName(),
    };
    for (const auto& shortcut : candidates) {
        if (FileExists(shortcut)) m_platform.WriteShortcut(shortcut, self);
    }
    return true;
}

}  // namespace PUBLISHER_INFO
