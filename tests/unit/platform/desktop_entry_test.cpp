// Texts the platform layer reads and writes: desktop entries, the user's
// folder settings, QUON_MAX_RATE.
#include "os/posix/desktop_entry.h"

#include <gtest/gtest.h>

#include "os/rate_cap.h"

using namespace desktop_entry;

TEST(DesktopEntry, ShellFieldCodeAndStringCharactersAreEscapedAndANewlineStartsNoKey) {
    EXPECT_EQ(QuoteExecArgument("/a b/c"), "\"/a b/c\"");
    EXPECT_EQ(QuoteExecArgument("/x\"y`z$HOME"), "\"/x\\\"y\\`z\\$HOME\"");
    EXPECT_EQ(QuoteExecArgument("/100%/f%u"), "\"/100%%/f%%u\"");
    EXPECT_EQ(EscapeValue(QuoteExecArgument("/a\\b")),
              "\"/a\\\\\\\\b\"");  // quoting doubles it, strings again
    EXPECT_EQ(EscapeValue("a\nb\tc\rd"), "a\\nb\\tc\\rd");
    EXPECT_EQ(EscapeValue(" lead and inner "), "\\slead and inner ");
    const std::string head = "[Desktop Entry]\nType=Application\nName=Quon\n";
    EXPECT_EQ(MakeApplicationEntry("/home/p/My Games/QuonLauncher.exe", "/home/p/icon.png"),
              head + "Exec=\"/home/p/My Games/QuonLauncher.exe\"\nIcon=/home/p/icon.png\n");
    EXPECT_EQ(MakeApplicationEntry("/q/QuonLauncher.exe", ""), head + "Exec=\"/q/QuonLauncher.exe\"\n");
    EXPECT_EQ(MakeApplicationEntry("/q\nIcon=/evil/QuonLauncher.exe", "").find("\nIcon="), std::string::npos);
}

TEST(UserDirs, HomeIsExpandedAbsolutePathsKeptQuotingFollowsTheShellInvalidValuesGiveNothing) {
    const std::string dl = "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
    EXPECT_EQ(FindUserDir(dl + "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "XDG_DOWNLOAD_DIR", "/h"),
              "/h/Downloads");
    for (auto [text, dir] :
         {std::pair<std::string, std::string>{"# comment\n" + dl + "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
                                              "/h/Schreibtisch"},
          {"XDG_DESKTOP_DIR=\"/srv/desk/\"\n", "/srv/desk"},
          {"XDG_DESKTOP_DIR=\"${HOME}/D\"", "/h/D"},
          {"XDG_DESKTOP_DIR=\"$HOME/\"", "/h"},  // the home folder itself
          {"XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\" \\$1\"", "/h/My \"Desk\" $1"},
          {"XDG_DESKTOP_DIR=$HOME/Bare\\ Desk # comment", "/h/Bare Desk"},
          {"XDG_DESKTOP_DIR=\"$HOME/A\"\n  XDG_DESKTOP_DIR=\"$HOME/B\"\n", "/h/B"},
          {"XDG_DESKTOP_DIR=\"$HOME/A\"\nXDG_DESKTOP_DIR=\"rel\"\n",
           "/h/A"},  // a later invalid value erases nothing
          {"", ""},
          {"#XDG_DESKTOP_DIR=\"$HOME/D\"\n", ""},
          {"XDG_DESKTOP_DIRX=\"$HOME/D\"\n", ""},
          {"XDG_DESKTOP_DIR=\"Desktop\"\n", ""},
          {"XDG_DESKTOP_DIR=\"$HOMEX/D\"\n", ""},
          {"XDG_DESKTOP_DIR=\"\"\n", ""}})
        EXPECT_EQ(FindUserDir(text, "XDG_DESKTOP_DIR", "/h"), dir) << text;
    EXPECT_EQ(FindUserDir("XDG_DESKTOP_DIR=\"$HOME/D\"\n", "XDG_DESKTOP_DIR", ""), "");
}

TEST(MaxRateSetting, OnlyAPlainNumberIsACap) {
    EXPECT_EQ(ParseMaxRate("1048576"), 1048576u);
    EXPECT_EQ(ParseMaxRate("1"), 1u);
    for (const char* none : {"", "0", "-5", "abc", "12abc", " 12", "1.5", "+7", "99999999999999999999999"})
        EXPECT_EQ(ParseMaxRate(none), 0u) << none;
    EXPECT_EQ(ParseMaxRate(nullptr), 0u);
}
