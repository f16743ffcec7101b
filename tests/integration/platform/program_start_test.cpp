// Starting a program: its folder and its argument as the player's system hands them over.
#include "support/test_common.h"
#include "support/scoped_env.h"
#include "support/system_rules.h"

#include "os/process.h"

TEST(StartProgram, StartsInTheWorkingFolderWithOneUnchangedArgument) {
    TempDir dir;
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", std::nullopt);
    const std::string folder = dir.Join("My Game");
    dir.WriteFile("My Game/.keep", "");
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), folder + "/Vevida2.0.exe");
    const std::wstring argument = L"two words \"quoted\" $HOME * \\ 한글";
    EXPECT_EQ(StartProgram(L"Vevida2.0.exe", argument, text::FromUtf8(folder)), 33);
    ASSERT_TRUE(WaitUntil([&] { return dir.Exists("My Game/client-ran.txt"); }));
    EXPECT_EQ(dir.ReadFile("My Game/client-ran.txt"), ArgumentsAsReceived(text::ToUtf8(argument)) + folder + "\n");

    // A path with a folder is used as given; an empty argument is still one
    // (on Linux).
    EXPECT_EQ(StartProgram(text::FromUtf8(ToolBinary("Vevida2.0.exe")), L"", dir.wpath()), 33);
    ASSERT_TRUE(WaitUntil([&] { return dir.Exists("client-ran.txt"); }));
    EXPECT_EQ(dir.ReadFile("client-ran.txt"), ArgumentsAsReceived("") + dir.path() + "\n");
    // Detached: nothing is left for us to reap.
    EXPECT_TRUE(WaitUntil(NoChildLeftToReap));
}

