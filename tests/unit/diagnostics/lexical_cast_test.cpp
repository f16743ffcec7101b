#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "util/lexical_cast_wrapper.h"
#include "support/temp_current_folder.h"

namespace {

struct Unprintable {};
std::wostream& operator<<(std::wostream& out, const Unprintable&) {
    out.setstate(std::ios::failbit);
    return out;
}

struct Throwing {};
std::wostream& operator<<(std::wostream&, const Throwing&) {
    throw std::runtime_error("boom");
}

}  // namespace

TEST(LexicalCastTest, ConvertsNumbersToWideText) {
    std::wstring out = L"old";
    EXPECT_TRUE(boost_lexical_cast(L"SystemInfo::_SetMemoryInfo", 4096u, out));
    EXPECT_EQ(out, L"4096");
    EXPECT_TRUE(boost_lexical_cast(L"op", -17, out));
    EXPECT_EQ(out, L"-17");
    EXPECT_TRUE(boost_lexical_cast(L"op", 1.5, out));
    EXPECT_EQ(out, L"1.5");
}

TEST(LexicalCastTest, FailuresAreReportedUnderTheOperationNameAndLeaveTheOutput) {
    TempCurrentFolder folder;
    std::wstring out = L"kept";
    EXPECT_FALSE(boost_lexical_cast(L"SYSTEM::SystemInfo::_SetCpuInfo", Unprintable{}, out));
    EXPECT_EQ(out, L"kept");
    EXPECT_FALSE(boost_lexical_cast(L"Other::Op", Throwing{}, out));
    EXPECT_EQ(out, L"kept");

    const std::string log = TempCurrentFolder::Read(folder.Path() / "log.txt");
    EXPECT_THAT(log,
                ::testing::HasSubstr("]SYSTEM::SystemInfo::_SetCpuInfo()-[SYSTEM::SystemInfo::_SetCpuInfo], "
                                     "[bad lexical cast: source type value could not be interpreted as "
                                     "target] ["));
    EXPECT_THAT(log, ::testing::HasSubstr("]Other::Op()-[Other::Op] ["));
}
