#include "util/custom_assert.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "util/text_util.h"
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

// Report sites of their own, one per test (a site counts its hits for the whole run).
const auto HitBoxSite = [] { RT_ASSERT(true, true, L"Test::HitBoxSite", L"box site %d", 7); };
const auto HitQuietSite = [] { RT_ASSERT(true, false, L"Test::HitQuietSite", L"quiet site"); };
const auto HitThreadedSite = [] { RT_ASSERT(true, false, L"Test::HitThreadedSite", L"threaded"); };
const auto HitAnsweredSite = [] { RT_ASSERT(true, true, L"Test::HitAnsweredSite", L"answered"); };

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

    // A percent sign in an argument is written unchanged.
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
    // An OK answer (1) counts as Ignore; a site without a box never asks, so it never breaks.
    for (auto [answer, showBox, breaks] : {std::tuple{CustomAssert::kIgnore, true, false},
                                           {1, true, false},
                                           {CustomAssert::kAbort, true, true},
                                           {CustomAssert::kRetry, true, true},
                                           {CustomAssert::kRetry, false, false}}) {
        BoxRecorder recorder(answer);
        EXPECT_EQ(CustomAssert::Report(1, L"a.cpp", L"F", showBox, L"x"), breaks) << answer;
    }
    {
        BoxRecorder ignore(CustomAssert::kIgnore);
        HitAnsweredSite();  // returns: the program goes on after the site
    }
    for (int answer : {CustomAssert::kRetry, CustomAssert::kAbort}) {
        EXPECT_EXIT(
            {
                BoxRecorder recorder(answer);
                HitAnsweredSite();
                std::exit(0);
            },
            ::testing::KilledBySignal(SIGTRAP), "")
            << answer;
    }
}
