// The console front-end as a script or a player at a terminal drives it:
// several commands in one write, and an input that stays open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher_fixture.h"

namespace {
// A named pipe as the launcher's input that this test holds open for
// writing, so the launcher never sees its end unless told.
class HeldInput {
public:
    explicit HeldInput(const std::string& path) : m_path(path) {
        mkfifo(path.c_str(), 0600);
        m_fd = open(path.c_str(), O_RDWR | O_CLOEXEC);  // never blocks, keeps a writer
    }
    ~HeldInput() {
        if (m_fd >= 0) close(m_fd);
    }
    void Write(const std::string& text) {
        [[maybe_unused]] ssize_t n = write(m_fd, text.data(), text.size());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};
}  // namespace

class ConsoleInput : public LauncherProcess {
protected:
    std::unique_ptr<ChildProcess> StartReadingFrom(const HeldInput& input) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" QA FromUpdater <\"$1\"",
                                     Install("QuonLauncher.exe"), input.path()},
            root.path(), Env());
    }
};

TEST_F(ConsoleInput, EveryLineOfOneWriteIsHandledWithoutWaitingForMore) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    HeldInput input(root.Join("input"));
    auto run = StartReadingFrom(input);
    ASSERT_TRUE(WaitUntil(
        [&] { return run->Output().find(Utf8(GetLauncherMessage(32))) != std::string::npos; }, 15000))
        << run->Output();
    // The dialog's answers and the close come with the command, in one write;
    // the input stays open afterwards.
    input.Write("options\nmode 2\ncancel\nhelp\nclose\n");
    EXPECT_EQ(run->Wait(5000), 0) << run->Output();
    const std::string output = run->Output();
    const size_t dialog = output.find("Video option");
    const size_t cancelled = output.find("Cancelled: nothing saved.");
    const size_t help = output.find("commands: start");
    ASSERT_NE(dialog, std::string::npos) << output;
    ASSERT_NE(cancelled, std::string::npos) << output;
    EXPECT_NE(output.find("Window", dialog), std::string::npos);
    EXPECT_LT(dialog, cancelled);
    EXPECT_LT(cancelled, help);
}

TEST_F(ConsoleInput, TheEndOfInputAfterBufferedLinesStillCloses) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    // Without a final line feed: the last command is whatever precedes the end.
    auto run = Start({"QA", "FromUpdater"}, "help\nhelp");
    EXPECT_EQ(run->Wait(10000), 0) << run->Output();
    const std::string output = run->Output();
    const size_t first = output.find("commands: start");
    ASSERT_NE(first, std::string::npos) << output;
    EXPECT_NE(output.find("commands: start", first + 1), std::string::npos) << output;
}
