#pragma once
// A launcher started with "FromUpdater" in a real install folder, patching
// from a real loopback HTTP server, on its own worker thread.
#include "support/test_common.h"

#include <iostream>

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "support/recording_view.h"
#include "support/test_platform.h"

class PatchRun : public ::testing::Test {
protected:
    // `folder`: below the test's folder; a long one brings the paths of the
    // install near the path buffers' cap.
    explicit PatchRun(std::string folder = "install") : installFolder(std::move(folder)) {
        CGameLauncherDlg::s_nUnzipGiveUps = 0;
        std::filesystem::create_directories(root.Join(installFolder));
        platform.Config().patchHost = "127.0.0.1:" + std::to_string(server.port());
    }
    ~PatchRun() override {
        if (dlg) dlg->OnDestroy();
    }

    void Publish(const std::map<std::wstring, PatchFile>& files) { WritePatchSet(root.Join("server/patch_qa"), files); }
    std::string Install(const std::string& relative) const { return root.Join(installFolder + "/" + relative); }
    bool Exists(const std::string& relative) const { return std::filesystem::exists(Install(relative)); }
    std::string Read(const std::string& relative) const { return ReadWholeFile(Install(relative)); }
    void Put(const std::string& relative, const std::string& bytes) { root.WriteFile(installFolder + "/" + relative, bytes); }
    std::vector<std::wstring> Boxes() const { return view->Boxes(); }
    // A client list naming `paths`, with no size or checksum.
    void WriteClientList(const std::vector<std::wstring>& paths) {
        PackFileList list;
        for (const auto& path : paths) list.push_back(std::make_unique<PackFileInfo>()), list.back()->SetPath(path);
        ASSERT_TRUE(WriteListFile(InstallW("packclit.lit"), list));
    }

    // Starts a launcher as the updater would, without waiting.
    void Begin() {
        if (dlg) dlg->OnDestroy();
        dlg.reset();
        view = std::make_unique<RecordingView>();
        dlg = std::make_unique<CGameLauncherDlg>(platform, *view, std::vector<std::wstring>{exe, L"QA", L"FromUpdater"});
        EXPECT_TRUE(dlg->OnInitDialog());
    }
    // Begin, then wait until it is ready (STATE_IDLE) or has asked to close;
    // the state it settled in.
    int32_t Run() {
        Begin();
        return Settle();
    }
    // The repair button on a ready launcher, then the same wait as Run.
    int32_t Repair() {
        dlg->OnBnClickedButtonRepair();
        EXPECT_FALSE(view->ButtonsEnabled());
        return Settle();
    }
    int32_t Settle() {
        WaitUntil([&] { return view->m_closeRequests > 0 || (dlg->GetState() == STATE_IDLE && view->ButtonsEnabled()); },
                  60000);
        // What the player was told, for the reader of a failed test.
        for (const auto& box : view->Boxes()) std::cerr << "[box] " << text::ToUtf8(box).substr(0, 400) << "\n";
        return dlg->GetState();
    }
    int Fetches(const std::string& relative) { return server.RequestCount("/patch_qa/" + relative + ".zip"); }
    std::wstring Log() const { return ReadUtf16File(Install("log/LauncherLog.txt")); }
    std::wstring InstallW(const std::string& relative) const { return text::FromUtf8(Install(relative)); }

    TempDir root;
    std::string installFolder;
    TestHttpServer server{root.Join("server")};
    std::wstring exe = InstallW("QuonLauncher.exe");
    TestPlatform platform{exe};
    std::unique_ptr<RecordingView> view;
    std::unique_ptr<CGameLauncherDlg> dlg;
};
