// The command-line table and the choice of the server URLs.
#include <gtest/gtest.h>

#include "services/crash/exception_handler.h"
#include "util/text_util.h"
#include "launcher/launcher_messages.h"
#include "launcher/publisher_info.h"
#include "support/test_platform.h"

namespace {
struct Parsed {
    bool ok;
    std::wstring argument, patch, notice;
    bool fromUpdater;
    std::vector<std::wstring> boxes;
};

LauncherConfig TestHosts() {
    LauncherConfig config;
    config.patchHost = "patch.test:8080";
    config.testWebHost = "qa-web.test";
    config.webHost = "web.test";
    return config;
}

Parsed Parse(std::vector<std::wstring> args, const LauncherConfig& config = TestHosts()) {
    TestPlatform platform(L"/inst/QuonLauncher.exe");
    platform.Config() = config;
    Parsed p{};
    PUBLISHER_INFO::Manager manager(platform, std::move(args),
                                    [&](const std::wstring& text) { p.boxes.push_back(text); });
    p.ok = manager.ParseCommandLine();
    p.argument = manager.GetArgument();
    p.patch = manager.GetPatchUrl();
    p.notice = manager.GetNoticeUrl();
    p.fromUpdater = manager.IsFromUpdater();
    return p;
}

}  // namespace

TEST(CommandLine, SelectorsChooseTheirUrlPairs) {
    Parsed none = Parse({L"QuonLauncher.exe"});
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.argument, L"NOT_USE_ARG1");
    EXPECT_EQ(none.patch, L"http://patch.test:8080/patch/");
    EXPECT_EQ(none.notice, L"http://web.test/en/launcher");
    EXPECT_FALSE(none.fromUpdater);

    Parsed qa = Parse({L"QuonLauncher.exe", L"QA"});
    EXPECT_EQ(qa.patch, L"http://patch.test:8080/patch_qa/");
    EXPECT_EQ(qa.notice, L"http://qa-web.test/en/launcher");

    Parsed lower = Parse({L"QuonLauncher.exe", L"qa"});
    EXPECT_EQ(lower.argument, L"qa");
    EXPECT_EQ(lower.patch, L"http://patch.test:8080/patch/");

    Parsed stage = Parse({L"QuonLauncher.exe", L"StageEU", L"FromUpdater"});
    EXPECT_TRUE(stage.fromUpdater);
    EXPECT_EQ(stage.patch, L"http://patch.test:8080/patch_stage_eu/");
    EXPECT_EQ(stage.notice, L"http://patch.test:8080/notice_link_stage_eu.html");

    Parsed word = Parse({L"QuonLauncher.exe", L"FromUpdater"});
    EXPECT_TRUE(word.ok);
    EXPECT_EQ(word.argument, L"FromUpdater");
    EXPECT_FALSE(word.fromUpdater);
    EXPECT_EQ(word.patch, L"http://patch.test:8080/patch/");
}

TEST(CommandLine, WrongArgumentsShowEntry15AndLeaveUrlsEmpty) {
    for (auto args : {std::vector<std::wstring>{L"QuonLauncher.exe", L"QA", L"fromupdater"},
                      std::vector<std::wstring>{L"QuonLauncher.exe", L"QA", L"FromUpdater", L"x"},
                      std::vector<std::wstring>{}}) {
        Parsed p = Parse(args);
        EXPECT_FALSE(p.ok);
        ASSERT_EQ(p.boxes.size(), 1u);
        EXPECT_EQ(p.boxes[0], GetLauncherMessage(15));
        EXPECT_TRUE(p.patch.empty());
        EXPECT_TRUE(p.notice.empty());
    }
}

TEST(CommandLine, BuiltInHostsServeByDefault) {
    Parsed p = Parse({L"QuonLauncher.exe"}, LauncherConfig{});
    EXPECT_EQ(p.patch, L"http://" + text::FromUtf8(QUON_PATCH_HOST) + L"/patch/");
    EXPECT_EQ(p.notice, L"http://" + text::FromUtf8(QUON_WEB_HOST) + L"/en/launcher");
}

TEST(CommandLine, ParsingSetsTheCrashPrompt) {
    Parse({L"QuonLauncher.exe"});
    EXPECT_EQ(ExceptionHandler::GetCaption(), L"Notice");
    EXPECT_EQ(ExceptionHandler::GetText(), L"An error has occurred.\nDo you record error?");
}
