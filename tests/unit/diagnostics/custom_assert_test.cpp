#include "common/diagnostics/custom_assert.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "common/text_util.h"
#include "support/temp_current_folder.h"

namespace {

struct Box {
    std::wstring text;
    std::wstring caption;
};

// Records every box and answers with a fixed button.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = CustomAssert::kIgnore) {
        CustomAssert::SetMessageBoxHandler(
            [this, answer](const std::wstring& text, const std::wstring& caption) {
                boxes.push_back({text, caption});
                return answer;
            });
    }
    ~BoxRecorder() { CustomAssert::SetMessageBoxHandler(nullptr); }
    std::vector<Box> boxes;
};

size_t CountLines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// One report site, hit once per call.
void HitBoxSite() {
    RT_ASSERT(true, true, L"Test::HitBoxSite", L"box site %d", 7);
}
void HitQuietSite() {
    RT_ASSERT(true, false, L"Test::HitQuietSite", L"quiet site");
}
void HitThreadedSite() {
    RT_ASSERT(true, false, L"Test::HitThreadedSite", L"threaded");
}
void HitAnsweredSite() {
    RT_ASSERT(true, true, L"Test::HitAnsweredSite", L"answered");
}

}  // namespace

TEST(CustomAssertTest, BoxShowsTheReportTextAndTheLogGetsTheMessage) {
    TempCurrentFolder folder;
    BoxRecorder recorder;
    const int line = __LINE__ + 1;
    RT_ASSERT(1 + 1 == 2, true, L"COMMON_UTIL::GAME_OPTION::GameOption::Load", L"load json fail, %s", L"bad");
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, L"CustomAssert");
    EXPECT_EQ(recorder.boxes[0].text, L"File: " + text::FromUtf8(__FILE__) + L"\r\nLine: " +
                                          std::to_wstring(line) +
                                          L"\r\nFunction: COMMON_UTIL::GAME_OPTION::GameOption::Load\r\n"
                                          L"Expr: load json fail, bad\r\n");
    const std::string log = TempCurrentFolder::Read(folder.Path() / "log.txt");
    EXPECT_THAT(log,
                ::testing::HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Load()-load json fail, bad ["));
    EXPECT_THAT(log, ::testing::EndsWith("[custom_assert_test.cpp-" + std::to_string(line) + "]\n"));

    // A site whose condition does not hold reports nothing.
    RT_ASSERT(false, true, L"F", L"never");
    EXPECT_EQ(recorder.boxes.size(), 1u);
}

TEST(CustomAssertTest, SitesWithoutBoxOnlyLogAndMessagesAreCutAt259) {
    TempCurrentFolder folder;
    BoxRecorder recorder;
    HitQuietSite();
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(CountLines(TempCurrentFolder::Read(folder.Path() / "log.txt")), 1u);

    const std::wstring longArg(400, L'y');
    EXPECT_FALSE(CustomAssert::Report(5, L"a.cpp", L"F", true, L"%s", longArg.c_str()));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_THAT(text::ToUtf8(recorder.boxes[0].text),
                ::testing::EndsWith("Expr: " + std::string(259, 'y') + "\r\n"));
    EXPECT_THAT(TempCurrentFolder::Read(folder.Path() / "log.txt"),
                ::testing::HasSubstr("F()-" + std::string(259, 'y') + " ["));
}

TEST(CustomAssertTest, PercentInAnArgumentIsWrittenUnchanged) {
    TempCurrentFolder folder;
    RT_ASSERT(true, false, L"F", L"%s save fail", L"C:\\100%s\\%d.xml");
    EXPECT_THAT(TempCurrentFolder::Read(folder.Path() / "log.txt"),
                ::testing::HasSubstr("F()-C:\\100%s\\%d.xml save fail ["));
}

TEST(CustomAssertTest, EachSiteReportsAtMostAHundredTimes) {
    TempCurrentFolder folder;
    BoxRecorder recorder;
    for (int i = 0; i < 150; ++i) HitBoxSite();
    EXPECT_EQ(recorder.boxes.size(), 100u);
    EXPECT_EQ(CountLines(TempCurrentFolder::Read(folder.Path() / "log.txt")), 100u);
    // Another site keeps its own count.
    HitQuietSite();
    EXPECT_EQ(CountLines(TempCurrentFolder::Read(folder.Path() / "log.txt")), 101u);

    diagnostics::ReportSite site;
    int passed = 0;
    for (int i = 0; i < 120; ++i) passed += site.Hit() ? 1 : 0;
    EXPECT_EQ(passed, 100);
    EXPECT_EQ(site.Hits(), 120);
}

TEST(CustomAssertTest, ThreadsRacingAtOneSiteStillStopAtAHundred) {
    TempCurrentFolder folder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 40; ++i) HitThreadedSite();
        });
    }
    for (auto& th : threads) th.join();
    const std::string log = TempCurrentFolder::Read(folder.Path() / "log.txt");
    EXPECT_EQ(CountLines(log), 100u);
    // Lines of different threads never interleave.
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line))
        EXPECT_THAT(
            line,
            ::testing::MatchesRegex(
                R"(\[.*\]Test::HitThreadedSite\(\)-threaded \[.*\]\[ThreadID:[0-9]+\]\[custom_assert_test\.cpp-[0-9]+\])"));
}

TEST(CustomAssertTest, IgnoreContinuesWhileAbortAndRetryBreak) {
    TempCurrentFolder folder;
    {
        BoxRecorder ignore(CustomAssert::kIgnore);
        EXPECT_FALSE(CustomAssert::Report(1, L"a.cpp", L"F", true, L"x"));
        HitAnsweredSite();  // returns: the program goes on after the site
    }
    {
        BoxRecorder other(1);  // an OK answer counts as Ignore
        EXPECT_FALSE(CustomAssert::Report(1, L"a.cpp", L"F", true, L"x"));
    }
    {
        BoxRecorder abort(CustomAssert::kAbort);
        EXPECT_TRUE(CustomAssert::Report(1, L"a.cpp", L"F", true, L"x"));
    }
    {
        BoxRecorder retry(CustomAssert::kRetry);
        EXPECT_TRUE(CustomAssert::Report(1, L"a.cpp", L"F", true, L"x"));
        // A site without a box never asks, so it never breaks.
        EXPECT_FALSE(CustomAssert::Report(1, L"a.cpp", L"F", false, L"x"));
    }
    EXPECT_EXIT(
        {
            CustomAssert::SetMessageBoxHandler(
                [](const std::wstring&, const std::wstring&) { return CustomAssert::kRetry; });
            HitAnsweredSite();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTRAP), "");
    EXPECT_EXIT(
        {
            CustomAssert::SetMessageBoxHandler(
                [](const std::wstring&, const std::wstring&) { return CustomAssert::kAbort; });
            HitAnsweredSite();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTRAP), "");
}
