#pragma once
// The real launcher executable in a real install folder, talking to a real
// loopback patch server, with its own instance-lock folder.
#include "support/test_common.h"

#include "launcher/launcher_messages.h"

class LauncherProcess : public ::testing::Test {
protected:
    LauncherProcess() : server(root.Join("server")) {
        std::filesystem::create_directories(root.Join("runtime"));
        std::filesystem::create_directories(root.Join("install"));
        std::filesystem::copy_file(LauncherBinary(), Install("QuonLauncher.exe"));
    }

    std::string Install(const std::string& relative) const { return root.Join("install/" + relative); }
    void Publish(const std::map<std::wstring, PatchFile>& files) { WritePatchSet(root.Join("server/patch_qa"), files); }
    std::map<std::string, std::string> Env() const {
        return {{"QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(server.port())},
                {"QUON_RUNTIME_DIR", root.Join("runtime")},
                {"QUON_LAUNCHER_UI", "console"},
                {"QUON_DOWNLOAD_STALL_SECONDS", "5"}};
    }
    // The launcher in `exe` (default: the install's), started from the test's folder.
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> args, std::string input = "",
                                        ChildOptions options = {}, std::string exe = "") {
        args.insert(args.begin(), exe.empty() ? Install("QuonLauncher.exe") : exe);
        options.cleanEnv = true;
        return std::make_unique<ChildProcess>(args, root.path(), Env(), input, options);
    }
    static std::string Utf8(const wchar_t* text) { return text::ToUtf8(text); }
    // Temporaries (a download's or an unpacked item's) below `folder`; "" when none.
    static std::string Leftovers(const std::string& folder) {
        std::string found;
        for (const auto& [path, content] : FolderTree(folder, true, false))
            if (path.find(".qtmp-") != std::string::npos || path.find(".part") != std::string::npos || path.ends_with(".prefetch"))
                found += path + " ";
        return found;
    }

    TempDir root;
    TestHttpServer server;
};
