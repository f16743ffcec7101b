// The notice browser on a real X server: what our code asks of the web view
// (its place, a fresh fetch for every browser, loads that never block the
// window), not how WebKit draws.
#include "ui/gtk/notice_browser.h"

#include "support/test_common.h"
#include <webkit2/webkit2.h>

#include "support/silent_port.h"
#include "widget_session.h"

using namespace std::chrono_literals;

namespace {

// The browser's place in the main window's client area.
constexpr int kX = 488, kY = 149, kWidth = 318, kHeight = 273;
constexpr int kWindowX = 100, kWindowY = 50;
constexpr uint32_t kPageColour = 0x12c85a;

class NoticeBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetDesktop();
        files.WriteFile("notice.html", "<html><body style=\"margin:0;background:#12c85a\"></body></html>");
        // Any cache may keep the page for an hour: the browser must not.
        server.SetHeader("/notice.html", "Cache-Control", "public, max-age=3600");
        window = std::make_unique<TestWindow>(820, 545, kWindowX, kWindowY);
        NewBrowser();
        ASSERT_TRUE(window->ShowAndWait());
    }
    void NewBrowser() {
        browser.reset();
        finished = false;
        browser = std::make_unique<NoticeBrowser>(window->Fixed(), kX, kY, kWidth, kHeight);
        g_signal_connect(browser->Widget(), "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer done) {
                             if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(done) = true;
                         }),
                         &finished);
    }
    std::wstring Url() const { return text::FromUtf8(server.BaseUrl() + "notice.html"); }

    TempDir files;
    TestHttpServer server{files.path()};
    std::unique_ptr<TestWindow> window;
    std::unique_ptr<NoticeBrowser> browser;
    bool finished = false;
};

// The benchmark script runs this case repeatedly for its figures.
TEST_F(NoticeBrowserTest, ShowsThePageFromTheLoopbackServerAtItsPlaceAndEveryBrowserFetchesItAfresh) {
    const auto start = std::chrono::steady_clock::now();
    browser->Navigate(Url());
    ASSERT_TRUE(RunLoopUntil([&] { return finished; }, 20s)) << "the page never finished loading";
    const auto loaded = std::chrono::steady_clock::now();
    EXPECT_TRUE(RunLoopUntil(
        [&] {
            const ScreenImage screen = WidgetDesktop().ReadScreen();
            return screen.Valid() &&
                   screen.At(kWindowX + kX + kWidth / 2, kWindowY + kY + kHeight / 2) == kPageColour;
        },
        10s))
        << "the page is not on the screen";
    GtkAllocation place;
    gtk_widget_get_allocation(browser->Widget(), &place);
    EXPECT_EQ((std::vector<int>{place.x, place.y, place.width, place.height}),
              (std::vector<int>{kX, kY, kWidth, kHeight}));
    // For bench/notice_page.sh, which also samples the web processes' memory.
    std::printf("NOTICE_PAGE loaded_ms=%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(loaded - start).count()));
    // The next start of the launcher fetches the page afresh.
    NewBrowser();
    browser->Navigate(Url());
    ASSERT_TRUE(RunLoopUntil([&] { return finished; }, 20s));
    EXPECT_EQ(server.RequestCount("/notice.html"), 2);
}

TEST_F(NoticeBrowserTest, AServerThatNeverAnswersBlocksNeitherTheWindowNorItsClosing) {
    const SilentPort silent(true);
    auto start = std::chrono::steady_clock::now();
    browser->Navigate(text::FromUtf8(silent.Url("/notice.html")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms) << "navigating waited for the server";
    // The window's loop keeps turning while the page is pending.
    int ticks = 0;
    const guint timer = g_timeout_add(
        10, [](gpointer n) -> gboolean { return ++*static_cast<int*>(n), G_SOURCE_CONTINUE; }, &ticks);
    RunLoopUntil([] { return false; }, 1s);
    g_source_remove(timer);
    EXPECT_GE(ticks, 50);
    EXPECT_FALSE(finished);
    // The window goes first, as when the launcher closes mid-load.
    start = std::chrono::steady_clock::now();
    window.reset();
    browser.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "closing waited for the pending page";
}

}  // namespace
