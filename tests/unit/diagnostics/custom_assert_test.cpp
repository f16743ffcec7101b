#include "util/custom_assert.h"

#include "support/test_common.h"

using ::testing::HasSubstr;

namespace {

// Records every box (text and caption) and answers with a fixed button.
class BoxRecorder {
public:
    explicit BoxRecorder(int answer = CustomAssert::kIgnore) {
        CustomAssert::SetMessageBoxHandler(
            [this, answer](const std::wstring& text, const std::wstring& caption) {
                boxes.push_back(text);
                captions.push_back(caption);
                return answer;
            });
    }
    ~BoxRecorder() { CustomAssert::SetMessageBoxHandler(nullptr); }
    std::vector<std::wstring> boxes, captions;
};

class CustomAssertTest : public ::testing::Test {
protected:
    std::string Log() const { return ReadWholeFile((folder.Path() / "log.txt").string()); }
    size_t LogLines() const {
        const std::string log = Log();
        return std::count(log.begin(), log.end(), '\n');
    }
    TempCurrentFolder folder;
};

// Report sites of their own, one per test (a site counts its hits for the whole run).
const auto HitBoxSite = [] { RT_ASSERT(true, true, L"Test::HitBoxSite", L"box site %d", 7); };
const auto HitQuietSite = [] { RT_ASSERT(true, false, L"Test::HitQuietSite", L"quiet site"); };
const auto HitThreadedSite = [] { RT_ASSERT(true, false, L"Test::HitThreadedSite", L"threaded"); };
const auto HitAnsweredSite = [] { RT_ASSERT(true, true, L"Test::HitAnsweredSite", L"answered"); };

}  // namespace

TEST_F(CustomAssertTest, BoxAndLogShowTheReportQuietSitesOnlyLogAndMessagesAreCutAt259) {
    BoxRecorder recorder;
    const int line = __LINE__ + 1;
    RT_ASSERT(1 + 1 == 2, true, L"COMMON_UTIL::GAME_OPTION::GameOption::Load", L"load json fail, %s", L"bad");
    RT_ASSERT(false, true, L"F", L"never");  // a condition that does not hold reports nothing
    EXPECT_EQ(recorder.captions, std::vector<std::wstring>{L"CustomAssert"});
    EXPECT_EQ(recorder.boxes[0], L"File: " + text::FromUtf8(__FILE__) + L"\r\nLine: " +
                                     std::to_wstring(line) +
                                     L"\r\nFunction: COMMON_UTIL::GAME_OPTION::GameOption::Load\r\n"
                                     L"Expr: load json fail, bad\r\n");
    EXPECT_THAT(Log(), HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Load()-load json fail, bad ["));
    EXPECT_THAT(Log(), ::testing::EndsWith("[custom_assert_test.cpp-" + std::to_string(line) + "]\n"));

    HitQuietSite();
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(LogLines(), 2u);
    EXPECT_FALSE(CustomAssert::Report(5, L"a.cpp", L"F", true, L"%s", std::wstring(400, L'y').c_str()));
    EXPECT_THAT(text::ToUtf8(recorder.boxes.back()),
                ::testing::EndsWith("Expr: " + std::string(259, 'y') + "\r\n"));
    EXPECT_THAT(Log(), HasSubstr("F()-" + std::string(259, 'y') + " ["));
    // A percent sign in an argument is written unchanged.
    RT_ASSERT(true, false, L"F", L"%s save fail", L"C:\\100%s\\%d.xml");
    EXPECT_THAT(Log(), HasSubstr("F()-C:\\100%s\\%d.xml save fail ["));
}

TEST_F(CustomAssertTest, EachSiteReportsAtMostAHundredTimesEvenWhenThreadsRace) {
    BoxRecorder recorder;
    for (int i = 0; i < 150; ++i) HitBoxSite();
    EXPECT_EQ(recorder.boxes.size(), 100u);
    EXPECT_EQ(LogLines(), 100u);
    std::filesystem::remove("log.txt");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 40; ++i) HitThreadedSite();
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(LogLines(), 100u);  // another site keeps its own count
    // Lines of different threads never interleave.
    std::istringstream lines(Log());
    for (std::string line; std::getline(lines, line);)
        EXPECT_THAT(
            line,
            ::testing::MatchesRegex(
                R"(\[.*\]Test::HitThreadedSite\(\)-threaded \[.*\]\[ThreadID:[0-9]+\]\[custom_assert_test\.cpp-[0-9]+\])"));
}

TEST_F(CustomAssertTest, IgnoreContinuesWhileAbortAndRetryBreak) {
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
