// The command-line table and the choice of the server URLs.
#include "support/test_common.h"

#include "launcher/launcher_messages.h"
#include "launcher/publisher_info.h"
#include "support/test_platform.h"

namespace {
struct Parsed {
    bool ok, fromUpdater;
    std::wstring argument, patch, notice;
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
                                    [&](const std::wstring& t) { p.boxes.push_back(t); });
    p.ok = manager.ParseCommandLine();
    p.argument = manager.GetArgument();
    p.patch = manager.GetPatchUrl();
    p.notice = manager.GetNoticeUrl();
    p.fromUpdater = manager.IsFromUpdater();
    return p;
}
}  // namespace

TEST(CommandLine, SelectorsChooseTheirUrlPairsAndWrongArgumentsShowEntry15) {
    const std::wstring host = L"http://patch.test:8080/";
    const struct {
        std::vector<std::wstring> args;
        std::wstring argument, patch, notice;
        bool fromUpdater;
    } cases[] = {
        {{}, L"NOT_USE_ARG1", host + L"patch/", L"http://web.test/en/launcher", false},
        {{L"QA"}, L"QA", host + L"patch_qa/", L"http://qa-web.test/en/launcher", false},
        {{L"qa"}, L"qa", host + L"patch/", L"http://web.test/en/launcher", false},  // selectors match case
        {{L"StageEU", L"FromUpdater"},
         L"StageEU",
         host + L"patch_stage_eu/",
         host + L"notice_link_stage_eu.html",
         true},
        {{L"FromUpdater"}, L"FromUpdater", host + L"patch/", L"http://web.test/en/launcher", false},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> args{L"QuonLauncher.exe"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Parsed p = Parse(args);
        EXPECT_TRUE(p.ok && p.boxes.empty()) << c.argument;
        EXPECT_EQ(p.argument, c.argument);
        EXPECT_EQ(p.patch, c.patch);
        EXPECT_EQ(p.notice, c.notice);
        EXPECT_EQ(p.fromUpdater, c.fromUpdater) << c.argument;
    }
    for (const auto& args : {std::vector<std::wstring>{L"QuonLauncher.exe", L"QA", L"fromupdater"},
                             {L"QuonLauncher.exe", L"QA", L"FromUpdater", L"x"},
                             {}}) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.boxes, std::vector<std::wstring>{GetLauncherMessage(15)});
        EXPECT_TRUE(p.patch.empty() && p.notice.empty());
    }
}
