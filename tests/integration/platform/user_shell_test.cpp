#include "os/user_shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "util/text_util.h"
#include "integration/platform/platform_test_util.h"
#include "os/posix/launcher_icon.h"
#include "support/temp_dir.h"

using platform_test::ScopedEnv;

namespace {

// HOME and the XDG variables pointed into one temporary folder.
struct FakeHome {
    TempDir dir;
    ScopedEnv home{"HOME", dir.path()};
    ScopedEnv config{"XDG_CONFIG_HOME", std::nullopt};
    ScopedEnv data{"XDG_DATA_HOME", std::nullopt};
};

}  // namespace

TEST(UserFolders, DefaultsBelowHomeAndXdgSettingsAreFollowed) {
    FakeHome home;
    EXPECT_EQ(GetDesktopFolder(), home.dir.wpath() + L"/Desktop");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/.local/share/applications");

    home.dir.WriteFile(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(GetDesktopFolder(), home.dir.wpath() + L"/Bureau");

    ScopedEnv config("XDG_CONFIG_HOME", home.dir.Join("cfg"));
    ScopedEnv data("XDG_DATA_HOME", home.dir.Join("data"));
    home.dir.WriteFile("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
    EXPECT_EQ(GetDesktopFolder(), L"/srv/desk");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/data/applications");

    // Relative values are not allowed by the XDG rules and are ignored.
    ScopedEnv relativeData("XDG_DATA_HOME", "data");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/.local/share/applications");
}

TEST(Shortcut, ExistingEntryIsRewrittenToStartTheLauncher) {
    FakeHome home;
    home.dir.WriteFile("Desktop/Quon.desktop",
                       "[Desktop Entry]\nType=Application\nExec=/old/QuonLauncher.exe QA\n");
    chmod(home.dir.Join("Desktop/Quon.desktop").c_str(), 0600);
    const std::string icon = home.dir.Join(".local/share/icons/hicolor/64x64/apps/quon-launcher.png");

    WriteShortcutFile(home.dir.wpath() + L"/Desktop/Quon.desktop", L"/opt/My Games/QuonLauncher.exe");

    EXPECT_EQ(home.dir.ReadFile("Desktop/Quon.desktop"),
              "[Desktop Entry]\nType=Application\nName=Quon\nExec=\"/opt/My Games/QuonLauncher.exe\"\nIcon=" +
                  icon + "\n");
    struct stat st {};
    ASSERT_EQ(stat(home.dir.Join("Desktop/Quon.desktop").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(ReadWholeFile(icon), LauncherIconPng());
}

TEST(Shortcut, IconFollowsXdgDataHomeAndMissingFoldersAreNotCreated) {
    FakeHome home;
    ScopedEnv data("XDG_DATA_HOME", home.dir.Join("data"));
    home.dir.WriteFile("data/applications/Brisko/Quon/Quon.desktop", "old");
    WriteShortcutFile(home.dir.wpath() + L"/data/applications/Brisko/Quon/Quon.desktop",
                      L"/q/QuonLauncher.exe");
    EXPECT_NE(home.dir.ReadFile("data/applications/Brisko/Quon/Quon.desktop")
                  .find("Icon=" + home.dir.Join("data/icons/hicolor/64x64/apps/quon-launcher.png") + "\n"),
              std::string::npos);

    WriteShortcutFile(home.dir.wpath() + L"/no-such-folder/Quon.desktop", L"/q/QuonLauncher.exe");
    EXPECT_FALSE(home.dir.Exists("no-such-folder"));
}
