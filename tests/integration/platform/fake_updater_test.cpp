// The updater stand-in against a stand-in launcher: a script that records the
// arguments it was started with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "integration/platform/platform_test_util.h"
#include "platform/process.h"
#include "support/temp_dir.h"

using platform_test::ScopedEnv;
using platform_test::WaitUntil;

namespace {

struct InstallFolder {
    TempDir dir;
    ScopedEnv runtime{"QUON_RUNTIME_DIR", dir.Join("run")};
    std::string updater = dir.Join("QuonLauncherUpdater.exe");

    InstallFolder() {
        dir.WriteFile("run/.keep", "");
        platform_test::CopyTool("QuonLauncherUpdater.exe", updater);
        dir.WriteFile("QuonLauncher.exe", "#!/bin/sh\nprintf '%s\\n' \"$@\" > launcher-args.txt\nexit 7\n");
        chmod(dir.Join("QuonLauncher.exe").c_str(), 0755);
    }
};

}  // namespace

TEST(FakeUpdater, WaitsForTheLauncherThenBecomesItWithFromUpdater) {
    InstallFolder install;
    auto launcher = InstanceLock::TryAcquire(L"QUON Launcher");
    ASSERT_NE(launcher, nullptr);

    ChildProcess updater({install.updater, "StageEU"}, install.dir.path());
    ASSERT_TRUE(WaitUntil([&] { return install.dir.Exists("updater-ran.txt"); }));
    usleep(200 * 1000);
    EXPECT_FALSE(install.dir.Exists("launcher-args.txt")) << "started while the first launcher still runs";

    launcher.reset();
    // The script's exit code comes back through the updater's pid: exec in place.
    EXPECT_EQ(updater.Wait(10000), 7);
    EXPECT_EQ(install.dir.ReadFile("launcher-args.txt"), "StageEU\nFromUpdater\n");
    EXPECT_EQ(install.dir.ReadFile("updater-ran.txt"), "StageEU\n");
}

TEST(FakeUpdater, StartedTheLaunchersWayItRunsDetachedAndWrongArgumentCountsAreRefused) {
    InstallFolder install;
    ASSERT_EQ(StartProgram(L"QuonLauncherUpdater.exe", L"NOT_USE_ARG1", install.dir.wpath()), 33);
    EXPECT_TRUE(WaitUntil([&] {
        return install.dir.Exists("launcher-args.txt") &&
               install.dir.ReadFile("launcher-args.txt") == "NOT_USE_ARG1\nFromUpdater\n";
    }));
    EXPECT_EQ(install.dir.ReadFile("updater-ran.txt"), "NOT_USE_ARG1\n");

    std::filesystem::remove(install.dir.Join("launcher-args.txt"));
    EXPECT_EQ(ChildProcess({install.updater}, install.dir.path()).Wait(10000), 2);
    EXPECT_EQ(ChildProcess({install.updater, "QA", "x"}, install.dir.path()).Wait(10000), 2);
    EXPECT_FALSE(install.dir.Exists("launcher-args.txt"));
}
