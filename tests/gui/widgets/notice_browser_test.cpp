// The notice browser on a real X server: the page from a loopback server
// drawn at the browser's place, a page that cannot load, a server that never
// answers, and a fresh fetch for every browser.
#include "ui/gtk/notice_browser.h"

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "util/text_util.h"
#include "support/silent_port.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "web_process_usage.h"
#include "widget_session.h"

using namespace std::chrono_literals;

namespace {

// The main window's client area (820 x 545 px for the template's 464 x 278
// dialog units) and the browser's place in it: (276,76) 180 x 139 units.
constexpr int kWindowWidth = 820, kWindowHeight = 545;
constexpr int kBrowserX = 488, kBrowserY = 149, kBrowserWidth = 318, kBrowserHeight = 273;
constexpr int kWindowScreenX = 100, kWindowScreenY = 50;
constexpr uint32_t kWindowColour = 0x203040;
constexpr uint32_t kPageColour = 0x12c85a;

// A loopback server whose "/notice.html" is a page of one solid colour, sent
// with a header that lets any cache keep it for an hour.
class NoticePageServer {
public:
    NoticePageServer() {
        m_files.WriteFile("notice.html",
                          "<!DOCTYPE html><html><head><title>Notice</title></head>"
                          "<body style=\"margin:0;background:#12c85a\"></body></html>");
        m_server.SetHeader("/notice.html", "Cache-Control", "public, max-age=3600");
    }
    std::wstring Url() const { return text::FromUtf8(m_server.BaseUrl() + "notice.html"); }
    int PageRequests() const { return m_server.RequestCount("/notice.html"); }

private:
    TempDir m_files;
    TestHttpServer m_server{m_files.path()};
};

// What the view's loads did, as its signals told.
struct LoadEvents {
    bool finished = false;
    bool failed = false;
    std::string failedUri;
};

class NoticeBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetSession::Get();
        window = std::make_unique<TestWindow>(kWindowWidth, kWindowHeight, kWindowScreenX, kWindowScreenY);
        PaintWindow();
        browser = std::make_unique<NoticeBrowser>(window->Fixed(), kBrowserX, kBrowserY, kBrowserWidth,
                                                  kBrowserHeight);
        Watch(*browser, events);
        ASSERT_TRUE(window->ShowAndWait());
    }
    void TearDown() override {
        browser.reset();
        window.reset();
    }

    void PaintWindow() {
        GtkCssProvider* css = gtk_css_provider_new();
        char rule[64];
        std::snprintf(rule, sizeof(rule), "window { background: #%06x; }", kWindowColour);
        gtk_css_provider_load_from_data(css, rule, -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(GTK_WIDGET(window->Window())),
                                       GTK_STYLE_PROVIDER(css), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
    }

    static void Watch(NoticeBrowser& view, LoadEvents& into) {
        g_signal_connect(view.Widget(), "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                             if (event == WEBKIT_LOAD_FINISHED)
                                 static_cast<LoadEvents*>(data)->finished = true;
                         }),
                         &into);
        g_signal_connect(view.Widget(), "load-failed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer data) {
                             static_cast<LoadEvents*>(data)->failed = true;
                             static_cast<LoadEvents*>(data)->failedUri = uri;
                             return FALSE;  // WebKit's own error page
                         }),
                         &into);
    }

    std::string Title() const {
        const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(browser->Widget()));
        return title ? title : "";
    }

    // The screen pixel at a point of the window's client area.
    static uint32_t Pixel(const ScreenImage& screen, int x, int y) {
        return screen.At(kWindowScreenX + x, kWindowScreenY + y);
    }

    // Waits until the browser's centre shows `colour` on the screen.
    bool WaitForColourAtCentre(uint32_t colour, ScreenImage& screen) {
        return RunLoopUntil(
            [&] {
                return (screen = WidgetSession::Get().ReadScreen()).Valid() &&
                       Pixel(screen, kBrowserX + kBrowserWidth / 2, kBrowserY + kBrowserHeight / 2) == colour;
            },
            10s);
    }

    std::unique_ptr<TestWindow> window;
    std::unique_ptr<NoticeBrowser> browser;
    LoadEvents events;
};

TEST_F(NoticeBrowserTest, ShowsThePageFromTheLoopbackServerExactlyAtItsPlace) {
    NoticePageServer server;
    const auto start = std::chrono::steady_clock::now();
    browser->Navigate(server.Url());
    ASSERT_TRUE(RunLoopUntil([&] { return events.finished; }, 20s)) << "the page never finished loading";
    const auto loaded = std::chrono::steady_clock::now();
    EXPECT_FALSE(events.failed);
    EXPECT_TRUE(RunLoopUntil([&] { return Title() == "Notice"; }, 5s)) << "title: " << Title();

    ScreenImage screen;
    ASSERT_TRUE(WaitForColourAtCentre(kPageColour, screen)) << "the page is not on the screen";
    const int left = kBrowserX, top = kBrowserY, right = kBrowserX + kBrowserWidth - 1,
              bottom = kBrowserY + kBrowserHeight - 1;
    // The page fills the browser's rectangle to its last pixel, and not one more.
    for (auto [x, y] : {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
        EXPECT_EQ(Pixel(screen, x, y), kPageColour) << "inside at " << x << "," << y;
    }
    for (auto [x, y] : {std::pair{left - 1, top},
                        {right + 1, top},
                        {left, top - 1},
                        {left, bottom + 1},
                        {right + 1, bottom},
                        {right, bottom + 1}}) {
        EXPECT_EQ(Pixel(screen, x, y), kWindowColour) << "outside at " << x << "," << y;
    }
    GtkAllocation place;
    gtk_widget_get_allocation(browser->Widget(), &place);
    EXPECT_EQ(place.x, kBrowserX);
    EXPECT_EQ(place.y, kBrowserY);
    EXPECT_EQ(place.width, kBrowserWidth);
    EXPECT_EQ(place.height, kBrowserHeight);

    // Figures for the benchmark script, which runs this case repeatedly.
    const WebProcessUsage usage = MeasureWebProcesses();
    std::printf(
        "NOTICE_PAGE loaded_ms=%lld web_processes=%d web_rss_kb=%ld host_rss_kb=%ld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(loaded - start).count()),
        usage.processes, usage.rssKb, usage.hostRssKb);
    EXPECT_GE(usage.processes, 1) << "no web process runs beside the view";
}

TEST_F(NoticeBrowserTest, APageThatCannotLoadShowsTheErrorPageWithoutBlocking) {
    const SilentPort refusing(false);
    const std::string url = refusing.Url("/notice.html");
    const auto start = std::chrono::steady_clock::now();
    browser->Navigate(text::FromUtf8(url));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms) << "navigating waited for the load";
    ASSERT_TRUE(RunLoopUntil([&] { return events.failed; }, 20s)) << "the failure was never reported";
    EXPECT_EQ(events.failedUri, url);

    // WebKit's error page: drawn text, not an empty area of one colour.
    ScreenImage screen;
    const bool drawn = RunLoopUntil(
        [&] {
            if (!(screen = WidgetSession::Get().ReadScreen()).Valid()) return false;
            int other = 0;
            const uint32_t corner = Pixel(screen, kBrowserX + 2, kBrowserY + 2);
            for (int y = kBrowserY; y < kBrowserY + kBrowserHeight; y += 2)
                for (int x = kBrowserX; x < kBrowserX + kBrowserWidth; x += 2)
                    other += Pixel(screen, x, y) != corner && Pixel(screen, x, y) != kWindowColour;
            return other > 50;
        },
        10s);
    EXPECT_TRUE(drawn) << "no error page on the screen";
}

TEST_F(NoticeBrowserTest, AServerThatNeverAnswersBlocksNeitherTheWindowNorItsClosing) {
    const SilentPort silent(true);
    const auto start = std::chrono::steady_clock::now();
    browser->Navigate(text::FromUtf8(silent.Url("/notice.html")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms) << "navigating waited for the server";
    // The window's loop keeps turning while the page is pending.
    int ticks = 0;
    const guint timer = g_timeout_add(
        10,
        [](gpointer count) -> gboolean {
            ++*static_cast<int*>(count);
            return G_SOURCE_CONTINUE;
        },
        &ticks);
    RunLoopFor(1s);
    g_source_remove(timer);
    EXPECT_GE(ticks, 50);
    EXPECT_FALSE(events.finished);
    // The window goes first, as when the launcher closes mid-load; the
    // browser object after it.
    const auto closing = std::chrono::steady_clock::now();
    window.reset();
    browser.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 2s) << "closing waited for the pending page";
}

TEST_F(NoticeBrowserTest, EveryBrowserFetchesThePageAfreshThoughTheServerAllowsCaching) {
    NoticePageServer server;
    browser->Navigate(server.Url());
    ASSERT_TRUE(RunLoopUntil([&] { return events.finished; }, 20s));
    EXPECT_EQ(server.PageRequests(), 1);
    // The next start of the launcher: a new browser on the same place.
    browser.reset();
    LoadEvents second;
    browser =
        std::make_unique<NoticeBrowser>(window->Fixed(), kBrowserX, kBrowserY, kBrowserWidth, kBrowserHeight);
    Watch(*browser, second);
    browser->Navigate(server.Url());
    ASSERT_TRUE(RunLoopUntil([&] { return second.finished; }, 20s));
    EXPECT_FALSE(second.failed);
    EXPECT_EQ(server.PageRequests(), 2);
}

}  // namespace
