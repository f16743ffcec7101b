#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/list_file_format.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& line, int* countOut = nullptr) {
    ListFieldTable table;
    int count = SplitFields(line, L'|', table);
    if (countOut) *countOut = count;
    std::vector<std::wstring> fields;
    for (int i = 0; i < count; ++i) fields.emplace_back(table.Field(i));
    return fields;
}

using Fields = std::vector<std::wstring>;

TEST(SplitFields, PlainFieldsAndCounts) {
    EXPECT_EQ(Split(L"a|b|c"), (Fields{L"a", L"b", L"c"}));
    // An empty last field is not counted; empty inner fields are.
    EXPECT_EQ(Split(L"a|b|"), (Fields{L"a", L"b"}));
    EXPECT_EQ(Split(L"a||c"), (Fields{L"a", L"", L"c"}));
    EXPECT_EQ(Split(L"|"), (Fields{L""}));
    int count = -1;
    EXPECT_TRUE(Split(L"", &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Split(L"   \t\b\t", &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Split(L"   \t  "), (Fields{L"  "}));
}

TEST(SplitFields, LeadingBlanksSkippedOthersKeptTabsAndBackspacesDropped) {
    EXPECT_EQ(Split(L"   a | b "), (Fields{L"a ", L" b "}));
    // Only blanks at the very start are skipped; a tab ends that.
    EXPECT_EQ(Split(L"\t  a"), (Fields{L"  a"}));
    EXPECT_EQ(Split(L"a\tb|\bc\b"), (Fields{L"ab", L"c"}));
    EXPECT_EQ(Split(L"[a\t|b]"), (Fields{L"[a|b]"}));
}

TEST(SplitFields, GroupsKeepTheSeparator) {
    EXPECT_EQ(Split(L"[a|b]|c"), (Fields{L"[a|b]", L"c"}));
    EXPECT_EQ(Split(L"\"a|b\"|c"), (Fields{L"\"a|b\"", L"c"}));
    // Back-quotes group but are dropped.
    EXPECT_EQ(Split(L"`a|b`|c"), (Fields{L"a|b", L"c"}));
    // Any closer ends any group; an opener inside a group is plain text.
    EXPECT_EQ(Split(L"[a\"|b|c"), (Fields{L"[a\"", L"b", L"c"}));
    EXPECT_EQ(Split(L"[a[b|c]|d"), (Fields{L"[a[b|c]", L"d"}));
    // An unclosed group runs to the end of the line.
    EXPECT_EQ(Split(L"a|[b|c|d"), (Fields{L"a", L"[b|c|d"}));
    // A closer outside a group is plain text.
    EXPECT_EQ(Split(L"a]|b"), (Fields{L"a]", L"b"}));
}

TEST(SplitFields, FieldsAreBoundedByTheirSlotAndCountNeverSpillOver) {
    const size_t slot = ListFieldTable::kSlotChars;
    const std::wstring longField(slot + 40, L'x');
    int count = 0;
    Fields f = Split(longField + L"|second|" + std::wstring(200, L'y'), &count);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(f[0], std::wstring(slot, L'x'));
    EXPECT_EQ(f[1], L"second");
    EXPECT_EQ(f[2], std::wstring(200, L'y'));

    // At most ten fields.
    f = Split(L"0|1|2|3|4|5|6|7|8|9|10|11", &count);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(f.back(), L"9");
    EXPECT_EQ(Split(L"0|1|2|3|4|5|6|7|8|9").size(), 10u);
}

TEST(SplitFields, TableIsClearedBetweenLines) {
    ListFieldTable table;
    SplitFields(L"aaaa|bbbb|cccc", L'|', table);
    ASSERT_EQ(SplitFields(L"x", L'|', table), 1);
    EXPECT_EQ(table.Field(0), L"x");
    EXPECT_EQ(table.Field(1), L"");
}

TEST(ParseListNumber, ReadsLikeTheListReader) {
    EXPECT_EQ(ParseListNumber(L"      1234"), 1234);
    EXPECT_EQ(ParseListNumber(L"  -17"), -17);
    EXPECT_EQ(ParseListNumber(L"+5x9"), 5);
    EXPECT_EQ(ParseListNumber(L"abc"), 0);
    EXPECT_EQ(ParseListNumber(L""), 0);
    EXPECT_EQ(ParseListNumber(L"- 5"), 0);
    EXPECT_EQ(ParseListNumber(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseListNumber(L"2147483648"), 2147483647);
    EXPECT_EQ(ParseListNumber(L"99999999999999999999999"), 2147483647);
    EXPECT_EQ(ParseListNumber(L"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseListNumber(L"-99999999999999999999"), INT32_MIN);
}

}  // namespace
