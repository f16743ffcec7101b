// The Win32 video option dialog and notice browser on a display of their own,
// under Wine without an HTML engine: what our windows do with the model and
// with the browser control. The dialog's rules are the model's (unit/options);
// no page is drawn here.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <future>

#include "ui/win32/win32_notice_browser.h"
#include "ui/win32/win32_option_dialog.h"
#include "unit/options/option_dialog_fakes.h"

using namespace std::chrono_literals;

namespace {

HWND NewOwner() {
    WNDCLASSW wc{0,       DefWindowProcW, 0,       0,       GetModuleHandleW(nullptr),
                 nullptr, nullptr,        nullptr, nullptr, L"QuonOwner"};
    RegisterClassW(&wc);  // fails harmlessly the second time
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 100, 50, 820, 545, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

// A click on a button (row -1); or the notice of the list that row `row` was
// chosen; or, with row -2, the notice Windows sends when an unchecked radio
// button takes the focus (Wine's buttons send none).
using Click = std::pair<int, int>;
void ClickOn(HWND dialog, Click click) {
    const auto [id, row] = click;
    HWND control = GetDlgItem(dialog, id);
    if (row == -1) {
        SendMessageW(control, BM_CLICK, 0, 0);
        return;
    }
    if (row >= 0) SendMessageW(control, LB_SETCURSEL, row, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, row >= 0 ? LBN_SELCHANGE : BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
}

// From a second thread while the dialog runs: whether the owner is enabled,
// the rows ("*" selected), then the clicks, and whether the list was enabled
// at the last one.
std::wstring Drive(HWND owner, const std::vector<Click>& clicks) {
    HWND dialog = nullptr;
    if (!WaitUntil(
            [&] { return (dialog = FindWindowW(L"#32770", L"Video option")) && IsWindowVisible(dialog); }))
        return L"not shown";
    HWND list = GetDlgItem(dialog, IDC_LIST_RESOLUTION);
    std::wstring seen = IsWindowEnabled(owner) ? L"owner enabled " : L"";
    for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        std::wstring row(SendMessageW(list, LB_GETTEXTLEN, i, 0), L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()));
        seen += row + (SendMessageW(list, LB_GETSEL, i, 0) > 0 ? L"*;" : L";");
    }
    bool listEnabled = false;
    for (Click click : clicks) listEnabled = IsWindowEnabled(list), ClickOn(dialog, click);
    seen += listEnabled ? L" list enabled" : L" list disabled";
    // A dialog left open would hold the test in its loop.
    if (!WaitUntil([&] { return !IsWindow(dialog); }, 5000))
        PostMessageW(dialog, WM_CLOSE, 0, 0), seen += L" open";
    return seen;
}

TEST_F(OptionFileTest, Win32DialogShowsTheModelOverItsDisabledOwnerAndSavesOnOkOnly) {
    HWND owner = NewOwner();
    FakeModeSource modes(kModes);
    // The model's order, not the sorted one; the stored size selected.
    const std::wstring rows = L"1920 x 1080 (16:9);1600 x 1024 (16:10);2560 x 1080 (16:7);1024 x 768 (4:3)*;";
    const Click window{IDC_RADIO_WINDOW, -1}, row2{IDC_LIST_RESOLUTION, 2}, ok{IDC_BUTTON_OK, -1};
    const struct {
        const char* mode;
        std::vector<Click> clicks;
        const wchar_t* list;
        const char* saved;  // mode and size written; nullptr: the file as it was
    } cases[] = {
        {"FullScreen", {window, row2, ok}, L" list enabled", "WindowMode 2560x1080"},
        // Focus passing over a button is no choice of the player's.
        {"WindowFullScreen", {{IDC_RADIO_WINDOW, -2}, ok}, L" list disabled", "WindowFullScreen 1024x768"},
        {"FullScreen", {window, row2, {IDC_BUTTON_CANCEL, -1}}, L" list enabled", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Store(c.mode, 1024, 768);
        const std::string before = OptionFile();
        auto driver = std::async(std::launch::async, Drive, owner, c.clicks);
        RunWin32OptionDialog(owner, modes);
        EXPECT_EQ(driver.get(), rows + c.list);
        EXPECT_TRUE(IsWindowEnabled(owner));
        if (c.saved)
            EXPECT_EQ(Member("ScreenMode") + " " + Member("ScreenWidth") + "x" + Member("ScreenHeight"),
                      c.saved);
        else
            EXPECT_EQ(OptionFile(), before);
    }
    DestroyWindow(owner);
}

// "x,y wxh" of `window` in the client area of `parent`.
std::string Place(HWND window, HWND parent) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           "x" + std::to_string(r.bottom - r.top);
}

// A notice browser over a new owner, navigated to `url`, the window's loop
// run until `done` (5 s at most), then destroyed: what was seen on the way.
std::string BrowseOnce(const std::wstring& url, const std::function<bool()>& done) {
    HWND owner = NewOwner(), host;
    std::string seen;
    {
        Win32NoticeBrowser browser(owner, RECT{488, 149, 488 + 318, 149 + 273});
        host = browser.Host();
        HWND control = GetWindow(host, GW_CHILD);
        seen = Place(host, owner) + " id " + std::to_string(GetDlgCtrlID(host)) + ", control " +
               (control && IsWindowVisible(control) ? Place(control, host) : "none");
        const auto start = std::chrono::steady_clock::now();
        browser.Navigate(url);
        if (std::chrono::steady_clock::now() - start > 500ms) seen += ", navigation waited";
        for (MSG msg; !done() && std::chrono::steady_clock::now() - start < 5s;
             MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT))
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    if (IsWindow(host) || GetWindow(owner, GW_CHILD)) seen += ", window left";
    DestroyWindow(owner);
    return seen;
}

TEST(Win32NoticeBrowserTest, HostsTheControlAtItsPlaceNavigatesWithoutWaitingAndLeavesNoWindow) {
    TempCurrentFolder folder;  // where a failure would be logged
    TempDir files;
    files.WriteFile("notice.html", "<html><body>notice</body></html>");
    TestHttpServer server(files.path());
    // The engine's mode, set for this program's name: the prefix keeps it
    // from an earlier run.
    const wchar_t* key =
        L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    wchar_t path[MAX_PATH];
    const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH)),
        name = exe.substr(exe.rfind(L'\\') + 1);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name.c_str());
    EXPECT_EQ(BrowseOnce(text::FromUtf8(server.BaseUrl() + "notice.html"),
                         [&] { return server.RequestCount("/notice.html") > 0; }),
              "488,149 318x273 id 1002, control 0,0 318x273");
    // Wine's control fetches the page but keeps no cache: that the fetch
    // passes the cache shows on Windows only.
    EXPECT_EQ(server.RequestCount("/notice.html"), 1);
    EXPECT_FALSE(std::filesystem::exists("log.txt")) << ReadWholeFile("log.txt");
    DWORD mode = 0, size = sizeof(mode);
    RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_DWORD, nullptr, &mode, &size);
    EXPECT_EQ(mode, 11001u);
}

TEST(Win32NoticeBrowserTest, WithoutAControlTheHostStaysBlankAndTheFailureIsLogged) {
    TempCurrentFolder folder;
    // A thread of the multi-threaded apartment cannot host the control.
    const std::string seen = std::async(std::launch::async, [] {
                                 CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                                 const std::string s =
                                     BrowseOnce(L"http://127.0.0.1:9/", [] { return true; });
                                 CoUninitialize();
                                 return s;
                             }).get();
    EXPECT_EQ(seen, "488,149 318x273 id 1002, control none");
    EXPECT_THAT(ReadWholeFile("log.txt"), ::testing::HasSubstr("OleInitialize failed"));
}

}  // namespace
