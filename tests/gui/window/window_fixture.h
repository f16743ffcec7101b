#pragma once
// The real launcher in a real install folder, on an Xvfb desktop, fed
// by a loopback patch server; pixels are read back from the frame buffer and
// compared with the skin's bitmaps from the build.
#include "integration/launcher/launcher_fixture.h"
#include "launcher/game_launcher_dlg.h"
#include "support/test_desktop.h"
#include "ui/gtk/skin.h"

class WindowTest : public LauncherProcess {
protected:
    static constexpr uint32_t kTextColour = 0x9a9a9a;   // status lines and labels
    static constexpr uint32_t kReadyColour = 0xba9de0;  // the ready text
    // Where each text is drawn: origin and a generous line box.
    static constexpr RECT kLine1Area{104, 459, 480, 473}, kLine2Area{104, 506, 480, 520};
    static constexpr RECT kLabelsArea{28, 475, 100, 505}, kReadyArea{28, 482, 400, 496};
    static constexpr RECT kStatusArea{9, 437, 489, 544};  // left of the repair button

    void SetUp() override { ASSERT_TRUE(desktop.error().empty()) << desktop.error(); }

    static std::map<std::wstring, PatchFile> GameWithClient() {
        return {
            {L"Data\\a.dat", PatchFile{std::string(5000, 'a')}},
            {L"Vevida2.0.exe", PatchFile{ReadWholeFile(ToolBinary("Vevida2.0.exe")), "", "", false, 0755}}};
    }
    void Publish(const std::map<std::wstring, PatchFile>& files) {
        WritePatchSet(root.Join("server/patch"), files);
    }

    // The launcher as the updater starts it, with the display deciding the front-end.
    void Start() {
        auto env = desktop.Env();
        env.merge(Env());
        env["QUON_WEB_HOST"] = env["QUON_PATCH_HOST"];
        env["QUON_LAUNCHER_UI"] = "";
        env["QUON_DOWNLOAD_STALL_SECONDS"] = "30";
        // Containers may refuse WebKit's sandbox; users keep it on, the tests turn it off.
        env["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1";
        launcher = std::make_unique<ChildProcess>(
            std::vector<std::string>{root.Join("install/QuonLauncher.exe"), "Live", "FromUpdater"},
            root.path(), env);
    }
    // Waits for the mapped window, then parks the pointer in a corner: Xvfb
    // draws it into the frame buffer.
    void WaitForWindow() {
        ASSERT_TRUE(desktop.FindWindow("QuonLauncher", window)) << launcher->Output() << desktop.ServerLog();
        desktop.Xdotool({"mousemove", "1279", "1023"});
    }

    uint32_t Pixel(const ScreenImage& s, int x, int y) const { return s.At(window.x + x, window.y + y); }
    // Points of `colour` inside the client rectangle `r`.
    int CountColour(const ScreenImage& s, const RECT& r, uint32_t colour) const {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) count += Pixel(s, x, y) == colour;
        return count;
    }
    // "" when the screen shows the part w x h of `image` from (fromX, fromY)
    // at client (x, y); otherwise the first point that differs.
    std::string Difference(const ScreenImage& s, const SkinImage& image, int x, int y, int w = -1, int h = -1,
                           int fromX = 0, int fromY = 0) const {
        for (int j = 0; j < (h < 0 ? image.Height() : h); ++j)
            for (int i = 0; i < (w < 0 ? image.Width() : w); ++i)
                if (Pixel(s, x + i, y + j) != image.Pixel(fromX + i, fromY + j)) {
                    char text[96];
                    std::snprintf(text, sizeof(text), "(%d,%d): screen %06x, image %06x", x + i, y + j,
                                  Pixel(s, x + i, y + j), image.Pixel(fromX + i, fromY + j));
                    return text;
                }
        return "";
    }
    // The background bitmap shows unchanged in the client rectangle `r`.
    std::string BackgroundDifference(const ScreenImage& s, const RECT& r) const {
        return Difference(s, Skin(215), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left, r.top);
    }
    bool Shows(const ScreenImage& s, int id, int x, int y, int w = -1, int h = -1) const {
        return Difference(s, Skin(id), x, y, w, h).empty();
    }
    static SkinImage Skin(int id) {
        const std::string bytes =
            ReadWholeFile(std::string(QUON_SKIN_DIR) + "/" + std::to_string(id) + ".bmp");
        return SkinImage::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    bool WaitForReady(int timeoutMs = 20000) const {
        return WaitUntil([&] { return CountColour(desktop.ReadScreen(), kReadyArea, kReadyColour) > 20; },
                         timeoutMs);
    }
    void ClickClient(int x, int y) const {
        desktop.Xdotool({"mousemove", std::to_string(window.x + x), std::to_string(window.y + y), "click", "1"});
    }

    // One X server for every scenario: each ends its launchers, and so its windows.
    static TestDesktop& SharedDesktop() {
        static TestDesktop shared{1280, 1024, true};
        return shared;
    }
    TestDesktop& desktop = SharedDesktop();
    std::unique_ptr<ChildProcess> launcher;
    WindowGeometry window;
};
