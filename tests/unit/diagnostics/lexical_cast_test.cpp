#include "support/test_common.h"

#include <ostream>

#include "util/lexical_cast_wrapper.h"

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

TEST(LexicalCastTest, NumbersBecomeWideTextFailuresAreLoggedUnderTheOperationAndLeaveTheOutput) {
    TempCurrentFolder folder;
    std::wstring out = L"old";
    EXPECT_TRUE(boost_lexical_cast(L"op", 1.5, out) && out == L"1.5");
    EXPECT_FALSE(boost_lexical_cast(L"SYSTEM::SystemInfo::_SetCpuInfo", Unprintable{}, out));
    EXPECT_FALSE(boost_lexical_cast(L"Other::Op", Throwing{}, out));
    EXPECT_EQ(out, L"1.5");
    const std::string log = ReadWholeFile((folder.Path() / "log.txt").string());
    // The second bracket holds the library's reason.
    EXPECT_THAT(
        log, ::testing::HasSubstr("]SYSTEM::SystemInfo::_SetCpuInfo()-[SYSTEM::SystemInfo::_SetCpuInfo], ["));
    EXPECT_THAT(log, ::testing::HasSubstr("]Other::Op()-[Other::Op] ["));
}
