// The Win32 window of the real launcher under Wine on a private X display,
// driven from this Windows program: found by its class, read back from the
// screen (not from its own DC), clicked through its buttons. Started as
// Vevida2.0.exe, this program is the game client: it records its arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <thread>

#include "support/noise.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/wait_until.h"
#include "ui/skin_layout.h"
#include "ui/win32/skin.h"
#include "util/text_util.h"

using namespace skin_layout;

namespace {
constexpr COLORREF kBackdrop = RGB(0, 160, 0);
int g_backdropClicks = 0;

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++g_backdropClicks;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A solid window under the launcher, so that cut-out points have something known to show.
HWND MakeBackdrop() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BackdropProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(kBackdrop);
    wc.lpszClassName = L"QuonTestBackdrop";
    RegisterClassW(&wc);
    HWND backdrop = CreateWindowExW(WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                    nullptr, wc.hInstance, nullptr);
    UpdateWindow(backdrop);
    return backdrop;
}

// Keeps this thread's windows painted while a test waits.
bool Pumped(const std::function<bool()>& done) {
    for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
    return done();
}

std::wstring Text(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

class Win32WindowTest : public testing::Test {
protected:
    void SetUp() override {
        install = root.Join("install");
        std::filesystem::create_directories(Utf8Path(install));
        std::filesystem::copy_file(Utf8Path(std::string(QUON_BIN_DIR) + "/QuonLauncher.exe"),
                                   Utf8Path(install + "/QuonLauncher.exe"));
    }
    void TearDown() override {
        if (process.hProcess) {
            if (Wait(0) < 0) TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    void Publish(bool withClient) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::map<std::wstring, PatchFile> files{{L"Data\\a.dat", PatchFile{std::string(5000, 'a')}}};
        if (withClient) files[L"Vevida2.0.exe"] = PatchFile{ReadWholeFile(text::ToUtf8(self))};
        WritePatchSet(root.Join("server/patch"), files);
    }
    // The launcher as the updater starts it; the window serves by default.
    void Start() {
        const std::wstring host = L"127.0.0.1:" + std::to_wstring(server.port());
        SetEnvironmentVariableW(L"QUON_PATCH_HOST", host.c_str());
        SetEnvironmentVariableW(L"QUON_WEB_HOST", host.c_str());
        SetEnvironmentVariableW(L"QUON_LAUNCHER_UI", nullptr);
        std::wstring command = L"\"" + text::FromUtf8(install) + L"\\QuonLauncher.exe\" Live FromUpdater";
        STARTUPINFOW startup{sizeof(startup)};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   text::FromUtf8(install).c_str(), &startup, &process));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return Pumped(
                    [&] { return IsWindowVisible(window = FindWindowW(L"QuonLauncher", nullptr)); });
            },
            30000));
        GetWindowRect(window, &place);
    }
    // The exit status, or -1 while it runs.
    int Wait(int ms) {
        if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0) return -1;
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        return static_cast<int>(status);
    }
    // The pointer to client point (x, y), then each button event there.
    void Mouse(int x, int y, std::initializer_list<DWORD> events) const {
        SetCursorPos(place.left + x, place.top + y);
        for (DWORD event : events) {
            INPUT input{INPUT_MOUSE};
            input.mi.dwFlags = event;
            SendInput(1, &input, sizeof(input));
        }
        Pumped([] { return true; });
    }
    HWND Button(int id) const { return GetDlgItem(window, id); }
    void Click(int id) const { PostMessageW(Button(id), BM_CLICK, 0, 0); }
    bool WaitForReady() const {
        return WaitUntil(
            [&] { return Pumped([&] { return IsWindowEnabled(Button(1031)) && ReadyTextShows(); }); }, 30000);
    }
    // What the screen shows over the window (read from the screen, not from
    // the window's DC), as 0xRRGGBB by client point.
    struct Shot {
        int width = 0;
        std::vector<uint32_t> pixels;
        uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xffffff; }
        int Count(const RECT& r, uint32_t colour) const {
            int count = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) count += At(x, y) == colour;
            return count;
        }
    };
    Shot Capture() const {
        Shot shot;
        shot.width = place.right - place.left;
        const int height = place.bottom - place.top;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), shot.width, -height, 1, 32, BI_RGB};
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, shot.width, height, screen, place.left, place.top, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const uint32_t*>(bits);
        shot.pixels.assign(first, first + static_cast<size_t>(shot.width) * height);
        SelectObject(memory, old);
        DeleteObject(dib);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return shot;
    }
    uint32_t Screen(int x, int y) const { return Capture().At(x, y); }
    bool ReadyTextShows() const {
        return Capture().Count(RECT{kReadyX, kReadyY, 300, kReadyY + 14}, kReadyColour) > 20;
    }
    // A box of the launcher (captioned with its executable's name) and its text.
    HWND FindBox(std::wstring& text, int ms) const {
        HWND box = nullptr;
        // Shown only once set up: its text set, the unused buttons gone.
        WaitUntil([&] { return IsWindowVisible(box = FindWindowW(L"#32770", L"QuonLauncher.exe")); }, ms);
        text.clear();
        for (HWND child = box ? GetWindow(box, GW_CHILD) : nullptr; child;
             child = GetWindow(child, GW_HWNDNEXT))
            text += Text(child) + L"|";
        return box;
    }
    std::string Log() const { return text::ToUtf8(ReadUtf16File(install + "/log/LauncherLog.txt")); }

    TempDir root;
    TestHttpServer server{root.Join("server")};
    std::string install;
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    RECT place{};
};

TEST_F(Win32WindowTest, ReadyWindowClassPlaceCutOutAndButtons) {
    HWND backdrop = MakeBackdrop();
    Publish(false);
    Start();
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"QuonLauncher");
    EXPECT_EQ(Text(window), L"QUON Launcher");
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(place.right - place.left, 820);
    EXPECT_EQ(place.bottom - place.top, 545);
    EXPECT_NEAR(place.left, work.left + (work.right - work.left - 820) / 2, 1);  // centred
    EXPECT_NEAR(place.top, work.top + (work.bottom - work.top - 545) / 2, 1);
    ASSERT_TRUE(WaitForReady());

    // The key colour is cut out: those points show the backdrop below.
    HBITMAP background = LoadSkinBitmap(215), start = LoadSkinBitmap(226);
    for (auto [x, y] : {std::pair{2, 2}, {400, 20}, {815, 300}, {4, 540}}) {
        EXPECT_EQ(SkinPixel(background, x, y), kKeyColour);
        EXPECT_EQ(Screen(x, y), 0x00a000u) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{12, 40}, {200, 300}, {700, 440}})
        EXPECT_EQ(Screen(x, y), SkinPixel(background, x, y)) << x << "," << y;
    // The enabled start button.
    EXPECT_TRUE(WaitUntil([&] { return Screen(645 + 75, 455 + 40) == SkinPixel(start, 75, 40); }, 5000))
        << Screen(645 + 75, 455 + 40);
    // The pointer too: a click there reaches the backdrop; a press on the
    // surface, moved, drags the window.
    EXPECT_EQ(WindowFromPoint(POINT{place.left + 400, place.top + 20}), backdrop);
    EXPECT_EQ(WindowFromPoint(POINT{place.left + 200, place.top + 300}), window);
    Mouse(400, 20, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    EXPECT_TRUE(WaitUntil([&] { return Pumped([&] { return g_backdropClicks == 1; }); }, 3000));
    Mouse(200, 300, {MOUSEEVENTF_LEFTDOWN});
    Mouse(230, 320, {MOUSEEVENTF_MOVE});
    Mouse(230, 320, {MOUSEEVENTF_LEFTUP});
    RECT moved{};
    EXPECT_TRUE(
        WaitUntil([&] { return GetWindowRect(window, &moved) && moved.left == place.left + 30; }, 3000));
    EXPECT_EQ(moved.top, place.top + 20);
    place = moved;
    DeleteObject(background);
    DeleteObject(start);

    // The notice page at control 1002's place.
    RECT notice{};
    GetWindowRect(GetDlgItem(window, 1002), &notice);
    EXPECT_EQ((std::vector<LONG>{notice.left - place.left, notice.top - place.top, notice.right - notice.left,
                                 notice.bottom - notice.top}),
              (std::vector<LONG>{488, 149, 318, 273}));
    // Options, clicked by the pointer: a modal dialog over the window, which
    // is disabled until it closes.
    Mouse(759, 47, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog = FindWindowW(L"#32770", L"Video option")); }));
    EXPECT_FALSE(IsWindowEnabled(window));
    PostMessageW(GetDlgItem(dialog, 1031), BM_CLICK, 0, 0);  // Cancel
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && IsWindowEnabled(window); }));
    // Repair by the pointer: its hover image, its pressed image, then the
    // release that clicks it: the lists are fetched and compared again.
    HBITMAP hover = LoadSkinBitmap(259), pressed = LoadSkinBitmap(258);
    ASSERT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    Mouse(564, 480, {MOUSEEVENTF_MOVE});
    EXPECT_TRUE(WaitUntil([&] { return Screen(564, 480) == SkinPixel(hover, 75, 25); }, 3000));
    Mouse(564, 480, {MOUSEEVENTF_LEFTDOWN});
    EXPECT_TRUE(WaitUntil([&] { return Screen(564, 480) == SkinPixel(pressed, 75, 25); }, 3000));
    Mouse(564, 480, {MOUSEEVENTF_LEFTUP});
    DeleteObject(hover);
    DeleteObject(pressed);
    EXPECT_TRUE(WaitUntil([&] { return server.RequestCount("/patch/packserv.txt") == 2; }));
    ASSERT_TRUE(WaitForReady());
    // Close ends the launcher without starting the client.
    Click(1032);
    EXPECT_EQ(Wait(15000), 0);
    DestroyWindow(backdrop);
}

TEST_F(Win32WindowTest, StartChecksTheFilesAndStartsTheClient) {
    Publish(true);
    Start();
    ASSERT_TRUE(WaitForReady());
    Click(1031);
    EXPECT_EQ(Wait(20000), 0);
    ASSERT_TRUE(WaitUntil([&] { return root.Exists("install/client-ran.txt"); }));
    EXPECT_EQ(root.ReadFile("install/client-ran.txt").substr(0, 5), "Live\n");
}

TEST_F(Win32WindowTest, PatchingShowsItsLinesAndBarsOfExactWidthsAndDisabledButtons) {
    WritePatchSet(root.Join("server/patch"), {{L"Data\\a.dat", PatchFile{Noise(100000, 1)}},
                                              {L"Data\\b.dat", PatchFile{Noise(800000, 2)}}});
    const double zipA =
        static_cast<double>(std::filesystem::file_size(Utf8Path(root.Join("server/patch/Data/a.dat.zip"))));
    const double zipB =
        static_cast<double>(std::filesystem::file_size(Utf8Path(root.Join("server/patch/Data/b.dat.zip"))));
    const double held = 300000;
    server.StallAfter("/patch/Data/b.dat.zip", 300000, std::chrono::seconds(40));
    Start();
    // Held mid-transfer: a fill's width is the quotient in single precision
    // times 489, truncated; it shows the left of its bitmap, the frame the rest.
    auto width = [](double received, double size) {
        return static_cast<int>(static_cast<double>(static_cast<float>(received / size)) * 489.0);
    };
    const int upper = width(zipA + held, zipA + zipB), lower = width(held, zipB);
    HBITMAP images[] = {LoadSkinBitmap(244), LoadSkinBitmap(240), LoadSkinBitmap(245), LoadSkinBitmap(241)};
    Shot shot;
    auto barShows = [&](HBITMAP fill, HBITMAP frame, int top, int w) {
        for (int y = top; y < top + 14; ++y)
            for (int x = 102; x < 489; ++x) {
                const bool inFill = y >= top + 2 && y < top + 12 && x >= 104 && x < 104 + w;
                if (shot.At(x, y) !=
                    (inFill ? SkinPixel(fill, x - 104, y - top - 2) : SkinPixel(frame, x - 102, y - top)))
                    return false;
            }
        return true;
    };
    EXPECT_TRUE(WaitUntil(
        [&] {
            shot = Capture();
            return barShows(images[0], images[1], 473, upper) && barShows(images[2], images[3], 489, lower) &&
                   shot.Count(RECT{kLine1X, kLine1Y, 480, kLine1Y + 14}, kTextColour) > 10 &&
                   shot.Count(RECT{kLine2X, kLine2Y, 480, kLine2Y + 14}, kTextColour) > 10 &&
                   shot.Count(RECT{kTotalLabelX, kTotalLabelY, 100, kFileLabelY + 14}, kTextColour) > 10;
        },
        30000))
        << "expected widths " << upper << " and " << lower;
    // Disabled meanwhile: start grey, option as always (its disabled image is
    // its normal one), repair (no disabled image) looking neither normal nor hovered.
    HBITMAP start = LoadSkinBitmap(228), option = LoadSkinBitmap(237), repair = LoadSkinBitmap(257),
            repairHover = LoadSkinBitmap(259);
    EXPECT_EQ(shot.At(645 + 75, 455 + 25), SkinPixel(start, 75, 25));
    EXPECT_EQ(shot.At(743 + 16, 38 + 10), SkinPixel(option, 16, 10));
    EXPECT_NE(shot.At(489 + 75, 455 + 25), SkinPixel(repair, 75, 25));
    EXPECT_NE(shot.At(489 + 75, 455 + 25), SkinPixel(repairHover, 75, 25));
    for (HBITMAP image : {images[0], images[1], images[2], images[3], start, option, repair, repairHover})
        DeleteObject(image);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(15000), 0);
}

TEST_F(Win32WindowTest, WorkerBoxBlocksTheWorkerUntilOkAndClosingAnswersIt) {
    // No patch list: the download fails, then the worker reports that it
    // cannot connect; two boxes, one after the other.
    Start();
    std::wstring first, second;
    HWND box = FindBox(first, 30000);
    ASSERT_TRUE(box);
    EXPECT_NE(first.find(L"Failed to download the data."), std::wstring::npos) << text::ToUtf8(first);
    EXPECT_TRUE(GetDlgItem(box, IDOK));
    EXPECT_FALSE(GetDlgItem(box, IDCANCEL));
    // The worker waits: nothing logged, the same box, still running.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(Wait(0), -1);
    EXPECT_EQ(Log().find("L_16"), std::string::npos);
    EXPECT_EQ(FindWindowW(L"#32770", L"QuonLauncher.exe"), box);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return FindBox(second, 1000) && second.find(L"L_6") != std::wstring::npos; }));
    EXPECT_NE(Log().find("L_16"), std::string::npos);
    // Closing the window answers the open box; the worker is joined and the
    // launcher ends by itself with its error status.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(15000), 2);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Started by the launcher as its game client: record the arguments.
    std::wstring self = argv[0];
    if (self.size() >= 13 && _wcsicmp(self.c_str() + self.size() - 13, L"Vevida2.0.exe") == 0) {
        std::ofstream out("client-ran.txt", std::ios::binary);
        for (int i = 1; i < argc; ++i) out << text::ToUtf8(argv[i]) << "\n";
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
