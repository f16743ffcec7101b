#include "os/posix/desktop_entry.h"

#include <gtest/gtest.h>

using desktop_entry::EscapeValue;
using desktop_entry::FindUserDir;
using desktop_entry::MakeApplicationEntry;
using desktop_entry::QuoteExecArgument;

TEST(DesktopEntryQuoting, ShellFieldCodeAndStringCharactersAreEscaped) {
    EXPECT_EQ(QuoteExecArgument("/a b/c"), "\"/a b/c\"");
    EXPECT_EQ(QuoteExecArgument("/x\"y`z$HOME"), "\"/x\\\"y\\`z\\$HOME\"");
    EXPECT_EQ(QuoteExecArgument("/100%/f%u"), "\"/100%%/f%%u\"");
    // Quoting doubles it, the string rules double it again.
    EXPECT_EQ(EscapeValue(QuoteExecArgument("/a\\b")), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(EscapeValue("a\nb\tc\rd"), "a\\nb\\tc\\rd");
    EXPECT_EQ(EscapeValue(" lead and inner "), "\\slead and inner ");
}

TEST(DesktopEntryQuoting, EntryStartsTheExecutableAndShowsTheIcon) {
    EXPECT_EQ(MakeApplicationEntry("/home/p/My Games/QuonLauncher.exe", "/home/p/icon.png"),
              "[Desktop Entry]\nType=Application\nName=Quon\n"
              "Exec=\"/home/p/My Games/QuonLauncher.exe\"\nIcon=/home/p/icon.png\n");
    EXPECT_EQ(MakeApplicationEntry("/q/QuonLauncher.exe", ""),
              "[Desktop Entry]\nType=Application\nName=Quon\nExec=\"/q/QuonLauncher.exe\"\n");
    // A newline in a path must not start a new key.
    const std::string entry = MakeApplicationEntry("/q\nIcon=/evil/QuonLauncher.exe", "");
    EXPECT_EQ(entry.find("\nIcon="), std::string::npos);
}

TEST(UserDirs, HomeIsExpandedAbsolutePathsKeptAndQuotingFollowsTheShell) {
    const std::string text =
        "# This file is written by xdg-user-dirs-update\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    EXPECT_EQ(FindUserDir(text, "XDG_DESKTOP_DIR", "/home/p"), "/home/p/Schreibtisch");
    EXPECT_EQ(FindUserDir(text, "XDG_DOWNLOAD_DIR", "/home/p"), "/home/p/Downloads");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"/srv/desk/\"\n", "XDG_DESKTOP_DIR", "/home/p"), "/srv/desk");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"${HOME}/D\"", "XDG_DESKTOP_DIR", "/home/p"), "/home/p/D");
    // "$HOME/" alone means the home folder itself.
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOME/\"", "XDG_DESKTOP_DIR", "/home/p"), "/home/p");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\" \\$1\"", "XDG_DESKTOP_DIR", "/h"),
              "/h/My \"Desk\" $1");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=$HOME/Bare\\ Desk # comment", "XDG_DESKTOP_DIR", "/h"),
              "/h/Bare Desk");
    EXPECT_EQ(
        FindUserDir("XDG_DESKTOP_DIR=\"$HOME/A\"\n  XDG_DESKTOP_DIR=\"$HOME/B\"\n", "XDG_DESKTOP_DIR", "/h"),
        "/h/B");
    // A later invalid value does not erase a valid one.
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOME/A\"\nXDG_DESKTOP_DIR=\"rel\"\n", "XDG_DESKTOP_DIR", "/h"),
              "/h/A");
}

TEST(UserDirs, MissingOrInvalidValuesGiveNothing) {
    EXPECT_EQ(FindUserDir("", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(FindUserDir("#XDG_DESKTOP_DIR=\"$HOME/D\"\n", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIRX=\"$HOME/D\"\n", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"Desktop\"\n", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOMEX/D\"\n", "XDG_DESKTOP_DIR", "/h"), "");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOME/D\"\n", "XDG_DESKTOP_DIR", ""), "");
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"\"\n", "XDG_DESKTOP_DIR", "/h"), "");
}
