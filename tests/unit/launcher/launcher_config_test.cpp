// main() reads the launcher's settings from the environment once: what each
// variable's text makes of its field.
#include "launcher/launcher_config.h"

#include "support/test_common.h"

namespace {
LauncherConfig Read(const std::map<std::string, std::string>& env) {
    return ReadLauncherConfig([&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
}
}  // namespace

TEST(LauncherConfig, EachVariableSetsItsFieldOnlyWithAValidText) {
    using Holds = std::function<bool(const LauncherConfig&)>;
    const struct {
        const char* variable;
        const char* text;
        Holds holds;
    } cases[] = {
        {"QUON_PATCH_HOST", "127.0.0.1:8080", [](auto& c) { return c.patchHost == "127.0.0.1:8080"; }},
        {"QUON_PATCH_HOST", "", [](auto& c) { return c.patchHost == QUON_PATCH_HOST; }},
        {"QUON_WEB_HOST", "web.test", [](auto& c) { return c.webHost == "web.test"; }},
        {"QUON_TEST_WEB_HOST", "qa.test", [](auto& c) { return c.testWebHost == "qa.test"; }},
        {"QUON_SCAN_WORKERS", "3", [](auto& c) { return c.scanWorkers == 3; }},
        {"QUON_SCAN_WORKERS", "100000", [](auto& c) { return c.scanWorkers == 256; }},
        {"QUON_SCAN_WORKERS", "-2", [](auto& c) { return c.scanWorkers == 0; }},
        {"QUON_PREFETCH", "0", [](auto& c) { return !c.prefetch; }},
        {"QUON_PREFETCH", "no", [](auto& c) { return c.prefetch; }},
        {"QUON_MAX_RATE", "250000", [](auto& c) { return c.maxReceiveRate == 250000; }},
        {"QUON_MAX_RATE", "1M", [](auto& c) { return c.maxReceiveRate == 0; }},
        {"QUON_DOWNLOAD_STALL_SECONDS", "5", [](auto& c) { return c.downloadStallSeconds == 5; }},
        {"QUON_DOWNLOAD_STALL_SECONDS", "5s", [](auto& c) { return c.downloadStallSeconds == 30; }},
        {"QUON_DOWNLOAD_STALL_SECONDS", "3601", [](auto& c) { return c.downloadStallSeconds == 30; }},
        {"QUON_LAUNCHER_UI", "console", [](auto& c) { return c.frontEnd == "console"; }},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(c.holds(Read({{c.variable, c.text}}))) << c.variable << "=" << c.text;
    }
    const LauncherConfig none = Read({});
    EXPECT_EQ(none.patchHost, QUON_PATCH_HOST);
    EXPECT_EQ(none.webHost, QUON_WEB_HOST);
    EXPECT_EQ(none.testWebHost, QUON_TEST_WEB_HOST);
    EXPECT_EQ(none.scanWorkers, 0u);
    EXPECT_TRUE(none.prefetch);
    EXPECT_EQ(none.maxReceiveRate, 0u);
    EXPECT_EQ(none.downloadStallSeconds, UrlDownloader::kDefaultStallSeconds);
    EXPECT_TRUE(none.frontEnd.empty());
}
