// The command-line table and the choice of the server URLs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "util/text_util.h"
#include "launcher/launcher_messages.h"
#include "launcher/publisher_info.h"
#include "support/test_platform.h"

namespace {
// Sets (or, given nothing, removes) an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct Parsed {
    bool ok, fromUpdater;
    std::wstring argument, patch, notice;
    std::vector<std::wstring> boxes;
};

Parsed Parse(std::vector<std::wstring> args) {
    TestPlatform platform(L"/inst/QuonLauncher.exe");
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
    const ScopedEnv patch("QUON_PATCH_HOST", "patch.test:8080"), qa("QUON_TEST_WEB_HOST", "qa-web.test"),
        web("QUON_WEB_HOST", "web.test");
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

TEST(CommandLine, BuiltInHostsServeWhenTheEnvironmentIsSilent) {
    const ScopedEnv patch("QUON_PATCH_HOST", std::nullopt), web("QUON_WEB_HOST", "");
    const Parsed p = Parse({L"QuonLauncher.exe"});
    EXPECT_EQ(p.patch, L"http://" + text::FromUtf8(QUON_PATCH_HOST) + L"/patch/");
    EXPECT_EQ(p.notice, L"http://" + text::FromUtf8(QUON_WEB_HOST) + L"/en/launcher");
}
