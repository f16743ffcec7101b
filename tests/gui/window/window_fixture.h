#pragma once
// The real launcher in a real install folder, on its own Xvfb desktop, fed
// by a loopback patch server; pixels are read back from the frame buffer and
// compared with the skin's bitmaps from the build.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "gui_session.h"
#include "launcher/game_launcher_dlg.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "ui/gtk/skin.h"

class WindowTest : public ::testing::Test {
protected:
    static constexpr uint32_t kTextColour = 0x9a9a9a;   // status lines and labels
    static constexpr uint32_t kReadyColour = 0xba9de0;  // the ready text

    WindowTest() : server(root.Join("server")) {
        std::filesystem::create_directories(root.Join("install"));
        std::filesystem::create_directories(root.Join("runtime"));
        std::filesystem::copy_file(LauncherBinary(), Install("QuonLauncher.exe"));
    }

    void SetUp() override {
        if (session.display().empty() || session.busAddress().empty()) FAIL() << "no Xvfb or D-Bus session";
    }

    std::string Install(const std::string& relative) const { return root.Join("install/" + relative); }

    void Publish(const std::map<std::wstring, PatchFile>& files) {
        WritePatchSet(root.Join("server/patch"), files);
    }

    // The launcher as the updater starts it, with the display deciding the
    // front-end unless `ui` names one.
    void Start(std::vector<std::string> args = {"Live", "FromUpdater"}, const std::string& ui = "") {
        auto env = session.Env();
        env["QUON_PATCH_HOST"] = "127.0.0.1:" + std::to_string(server.port());
        env["QUON_WEB_HOST"] = "127.0.0.1:" + std::to_string(server.port());
        env["QUON_RUNTIME_DIR"] = root.Join("runtime");
        env["QUON_LAUNCHER_UI"] = ui;
        env["QUON_DOWNLOAD_STALL_SECONDS"] = "30";
        // Test machines' containers may refuse the user namespaces of WebKit's
        // sandbox; users keep it on, the tests turn it off.
        env["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1";
        args.insert(args.begin(), Install("QuonLauncher.exe"));
        launcher = std::make_unique<ChildProcess>(args, root.path(), env);
    }

    // Waits for the mapped window; its place is `window`.
    // The pointer is parked in a corner: Xvfb draws it into the frame buffer.
    void WaitForWindow() {
        ASSERT_TRUE(session.FindWindow("QuonLauncher", window)) << launcher->Output();
        session.MovePointer(1279, 1023);
    }

    uint32_t Pixel(const Screen& screen, int x, int y) const { return screen.At(window.x + x, window.y + y); }

    // Points of `colour` inside the client rectangle `r`.
    int CountColour(const Screen& screen, const RECT& r, uint32_t colour) const {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) count += Pixel(screen, x, y) == colour;
        return count;
    }

    // "" when the screen shows `image` (or its part w x h) at client (x, y);
    // otherwise the first point that differs.
    // `fromX`, `fromY`: where in the image the compared part begins.
    std::string Difference(const Screen& screen, const SkinImage& image, int x, int y, int w = -1, int h = -1,
                           int fromX = 0, int fromY = 0) const {
        w = w < 0 ? image.Width() : w;
        h = h < 0 ? image.Height() : h;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (Pixel(screen, x + i, y + j) != image.Pixel(fromX + i, fromY + j)) {
                    char text[96];
                    std::snprintf(text, sizeof(text), "(%d,%d): screen %06x, image %06x", x + i, y + j,
                                  Pixel(screen, x + i, y + j), image.Pixel(fromX + i, fromY + j));
                    return text;
                }
        return "";
    }
    // The background bitmap shows unchanged in the client rectangle `r`.
    std::string BackgroundDifference(const Screen& screen, const RECT& r) const {
        return Difference(screen, Skin(215), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left,
                          r.top);
    }
    bool Shows(const Screen& screen, const SkinImage& image, int x, int y, int w = -1, int h = -1) const {
        return Difference(screen, image, x, y, w, h).empty();
    }

    static SkinImage Skin(int id) {
        const std::string bytes =
            ReadWholeFile(std::string(QUON_SKIN_DIR) + "/" + std::to_string(id) + ".bmp");
        return SkinImage::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    // Waits until the ready text shows.
    bool WaitForReady(int timeoutMs = 20000) {
        return WaitFor([&] { return CountColour(session.ReadScreen(), kReadyArea, kReadyColour) > 20; },
                       timeoutMs);
    }

    void ClickClient(int x, int y) const { session.Click(window.x + x, window.y + y); }
    void MoveTo(int x, int y) const { session.MovePointer(window.x + x, window.y + y); }

    // Where each text is drawn: origin and a generous line box.
    static constexpr RECT kLine1Area{104, 459, 480, 473};
    static constexpr RECT kLine2Area{104, 506, 480, 520};
    static constexpr RECT kLabelsArea{28, 475, 100, 505};
    static constexpr RECT kReadyArea{28, 482, 400, 496};
    static constexpr RECT kStatusArea{9, 437, 489, 544};  // left of the repair button

    TempDir root;
    TestHttpServer server;
    GuiSession session;
    std::unique_ptr<ChildProcess> launcher;
    WindowGeometry window;
};
