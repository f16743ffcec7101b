// The list file format: fields, lines, marks, pieces and the entry bound.
#include "launcher/list_file_format.h"

#include "support/test_common.h"

namespace {

using Lines = std::vector<std::string>;
const std::wstring kSum = L"900150983cd24fb0d6963f7d28e17f72";

std::unique_ptr<PackFileInfo> Entry(int32_t size, int32_t download, std::wstring sum, std::wstring path) {
    auto e = std::make_unique<PackFileInfo>();
    e->nFileSize = size;
    e->nDownloadSize = download;
    e->szChecksum = std::move(sum);
    e->szPath = std::move(path);
    return e;
}
std::string Bom(const std::wstring& text) {
    return "\xFF\xFE" + text::EncodeUtf16LE(text);
}
std::string Describe(const PackFileInfo& e) {
    return std::to_string(e.nFileSize) + "|" + std::to_string(e.nDownloadSize) + "|" +
           text::ToUtf8(e.szChecksum.str()) + "|" + text::ToUtf8(e.szPath);
}
Lines Describe(const PackFileList& list) {
    Lines out;
    for (const auto& e : list) out.push_back(Describe(*e));
    return out;
}
Lines Parse(const std::string& bytes, bool laterPathReplaces = false) {
    PackFileList list;
    ParseListText(bytes, list, laterPathReplaces);
    return Describe(list);
}
Lines ParseInPieces(const std::string& bytes, size_t pieceBytes, bool laterPathReplaces = false) {
    ListTextParser parser(laterPathReplaces);
    for (size_t at = 0; at < bytes.size(); at += pieceBytes)
        EXPECT_TRUE(parser.Feed(std::string_view(bytes).substr(at, pieceBytes)));
    PackFileList list;
    EXPECT_TRUE(parser.Finish(list));
    return Describe(list);
}
TEST(SplitFields, Table) {
    const std::wstring slot(ListFieldTable::kSlotChars, L'x');
    const struct {
        std::wstring line;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"a|b|c", {L"a", L"b", L"c"}},
        {L"a|b|", {L"a", L"b"}},  // an empty last field is not counted, empty inner ones are
        {L"a||c", {L"a", L"", L"c"}},
        {L"|", {L""}},
        {L"", {}},
        {L"   \t\b\t", {}},
        {L"   \t  ", {L"  "}},
        {L"   a | b ", {L"a ", L" b "}},   // only blanks at the very start are skipped
        {L"a\tb|\bc\b", {L"ab", L"c"}},    // tabs and backspaces dropped
        {L"[a\t|b]|c", {L"[a|b]", L"c"}},  // groups keep the separator
        {L"\"a|b\"|c", {L"\"a|b\"", L"c"}},
        {L"`a|b`|c", {L"a|b", L"c"}},          // back-quotes group but are dropped
        {L"[a\"|b|c", {L"[a\"", L"b", L"c"}},  // any closer ends any group
        {L"[a[b|c]|d", {L"[a[b|c]", L"d"}},
        {L"a|[b|c|d", {L"a", L"[b|c|d"}},  // unclosed: to the end of the line
        {L"a]|b", {L"a]", L"b"}},
        {slot + L"xx|second", {slot, L"second"}},  // bounded by the slot, no spill-over
        {L"0|1|2|3|4|5|6|7|8|9|10|11", {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}},
    };
    ListFieldTable table;
    SplitFields(L"aaaa|bbbb|cccc", L'|', table);  // the table is cleared between lines
    for (const auto& c : cases) {
        const int count = SplitFields(c.line, L'|', table);
        std::vector<std::wstring> fields;
        for (int i = 0; i < count; ++i) fields.emplace_back(table.Field(i));
        EXPECT_EQ(fields, c.fields) << text::ToUtf8(c.line);
        EXPECT_TRUE(count >= ListFieldTable::kSlots || table.Field(count).empty()) << text::ToUtf8(c.line);
    }
    for (auto [text, value] : {std::pair{L"      1234", 1234},
                               {L"  -17", -17},
                               {L"+5x9", 5},
                               {L"abc", 0},
                               {L"", 0},
                               {L"- 5", 0},
                               {L"2147483648", INT32_MAX},
                               {L"99999999999999999999999", INT32_MAX},
                               {L"-2147483648", INT32_MIN},
                               {L"-99999999999999999999", INT32_MIN}})
        EXPECT_EQ(ParseListNumber(text), value) << text::ToUtf8(text);
}

TEST(ListFormat, LinesAreWrittenAsWithA32BitLongInUtf16WithMarkAndCrLf) {
    EXPECT_EQ(FormatListLine(*Entry(0, 0, L"", L"x")),
              L"         0|         0|" + std::wstring(32, L' ') + L"|x\n");
    EXPECT_EQ(FormatListLine(*Entry(-5, INT32_MAX, L"ab", L"")),
              L"        -5|2147483647|ab" + std::wstring(30, L' ') + L"|\n");
    EXPECT_EQ(FormatListLine(*Entry(INT32_MIN, 12345678, std::wstring(40, L'f'), L"p")),
              L"-2147483648|  12345678|" + std::wstring(40, L'f') + L"|p\n");
    PackFileList list;
    list.push_back(Entry(1, 2, kSum, L"a.dat"));
    list.push_back(Entry(3, 4, kSum, L"Data\\\u00e9\U0001F600.dat"));
    const std::string bytes = SerializeList(list);
    EXPECT_EQ(bytes, Bom(L"         1|         2|" + kSum + L"|a.dat\r\n         3|         4|" + kSum +
                         L"|Data\\\u00e9\U0001F600.dat\r\n"));
    EXPECT_EQ(bytes.substr(bytes.size() - 16, 4), std::string("\x3D\xD8\x00\xDE", 4));  // a surrogate pair
    EXPECT_EQ(SerializeList(PackFileList{}), "\xFF\xFE");
    EXPECT_EQ(Parse(bytes), Describe(list));
}

TEST(ListFormat, MarksAndOddLines) {
    const std::wstring line = L"5|6|" + kSum + L"|Data\\\uD55C\uAE00.dat\r\n";
    const Lines one{"5|6|" + text::ToUtf8(kSum) + "|Data\\\xED\x95\x9C\xEA\xB8\x80.dat"};
    for (const std::string& bytes :
         {Bom(line), text::EncodeUtf16LE(line), "\xEF\xBB\xBF" + text::ToUtf8(line)})
        EXPECT_EQ(Parse(bytes), one);  // no mark: UTF-16LE
    // Plain ASCII without a mark is taken as UTF-16LE and yields no sensible entry.
    EXPECT_EQ(Parse(text::ToUtf8(line)).size(), 1u);
    EXPECT_EQ(Parse(text::ToUtf8(line))[0].back(), '|');
    EXPECT_TRUE(Parse("\xFF\xFE").empty() && Parse("").empty());
    const std::pair<std::wstring, Lines> cases[] = {
        {L"12|34\r\n", {"12|34||"}},
        {L"12\r\n|\r\n", {"12|0||", "0|0||"}},
        // Blank lines, lone CRs, LF-only ends, no final line end.
        {L"\r\n   \r\n\t\b \r\n1|2|s|p\rq\n3|4|t|u", {"1|2|s|pq", "3|4|t|u"}},
        // Tabs vanish, blanks in checksum and path stay, extra fields are ignored.
        {L" 1\t0|2| ab |Data\\a b.dat|extra|more\r\n", {"10|2| ab |Data\\a b.dat"}},
        // A NUL ends the line's text as it would a C string.
        {std::wstring(L"1|2|s|ab\0cd|e\r\n3|4\r\n", 20), {"1|2|s|ab", "3|4||"}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(Parse(Bom(text)), lines) << text::ToUtf8(text);
    const std::string bytes = Bom(L"1|0|a1|A\r\n2|0|b1|B\r\n3|0|a2|A\r\n4|0|c1|C\r\n5|0|b2|B\r\n");
    EXPECT_EQ(Parse(bytes).size(), 5u);
    EXPECT_EQ(Parse(bytes, true), (Lines{"3|0|a2|A", "4|0|c1|C", "5|0|b2|B"}));  // later paths replace
}

TEST(ListFormat, LongLinesAreReadInPiecesOf259) {
    // 258 characters and the line end fill one piece exactly; at 259 the line end comes alone.
    const std::wstring head = L"1|2|" + kSum + L"|";
    const std::wstring fits = head + std::wstring(258 - head.size(), L'p');
    EXPECT_EQ(Parse(Bom(fits + L"\r\n")), (Lines{Describe(*Entry(1, 2, kSum, fits.substr(head.size())))}));
    EXPECT_EQ(Parse(Bom(fits + L"q\r\n")).size(), 1u);
    // 600 characters: three pieces, three entries.
    std::wstring longLine = L"7|8|" + std::wstring(255, L'c') + L"9|10|" + std::wstring(254, L'x') + L"11|12";
    longLine += std::wstring(600 - longLine.size(), L'z');
    const Lines three = Parse(Bom(longLine + L"\r\n5|6\r\n"));
    ASSERT_EQ(three.size(), 4u);
    EXPECT_EQ(three[0], "7|8|" + std::string(64, 'c') + "|");
    EXPECT_EQ(three[1].substr(0, 5), "9|10|");
    EXPECT_EQ(three[2].substr(0, 6), "11|12|");
    EXPECT_EQ(three[3], "5|6||");
}

TEST(ListFormat, EntriesAreTheSameWhereverThePiecesFall) {
    // What a reader trips over: lines longer than a piece, lone CRs, NULs,
    // U+FEFF at a line start, characters outside the basic plane, blank
    // lines, the bytes of a line feed across two characters.
    std::wstring text;
    for (int i = 0; text.size() < 150000; ++i) {
        std::wstring line =
            std::to_wstring(i) + L"|" + std::to_wstring(i % 7) + L"|" + (i % 5 ? kSum : L"odd") + L"|";
        if (i % 41 == 0) line += L"\xFEFF";
        line += std::wstring(i % 17 == 0 ? 300 + i % 250 : i % 60, static_cast<wchar_t>(L'a' + i % 26));
        if (i % 23 == 0) line += L"\r\x1F600x";
        if (i % 29 == 0) line += std::wstring(1, L'\0') + L"after a NUL";
        if (i % 3 == 0) line += L"\x0A41\x0100";
        text += line + (i % 37 == 0 ? L"\r\n\r\n" : L"\r\n");
    }
    const std::string utf16 = text::EncodeUtf16LE(text);
    for (const std::string& bytes :
         {"\xFF\xFE" + utf16, utf16, "\xFF\xFE" + utf16 + "7", "\xEF\xBB\xBF" + text::ToUtf8(text)}) {
        const Lines whole = Parse(bytes);
        ASSERT_GT(whole.size(), 1500u);
        for (size_t piece : {1, 3, 4097, 65537}) EXPECT_EQ(ParseInPieces(bytes, piece), whole) << piece;
        EXPECT_EQ(ParseInPieces(bytes, 3001, true), Parse(bytes, true));
    }
    for (const std::string& tiny :
         {std::string("7"), std::string("\xFF\xFE"), std::string("\xEF\xBB"), std::string("1\0|\0", 4)})
        EXPECT_EQ(ParseInPieces(tiny, 1), Parse(tiny));
}

// Too large by size: PatchRun.AClientListTooLargeToBeRealIsRebuiltFromTheDisk.
TEST(ListFormat, ListsOfTooManyEntriesAreRefusedWhileTheyArriveAndLeaveTheListAlone) {
    std::wstring many;
    for (size_t i = 0; i < kMaxListEntries; ++i) many += L"1\n";
    PackFileList list;
    EXPECT_TRUE(ParseListText(Bom(many), list));
    EXPECT_EQ(list.size(), kMaxListEntries);
    EXPECT_FALSE(ParseListText(Bom(many + L"1\n"), list));
    EXPECT_EQ(list.size(), kMaxListEntries);
    ListTextParser parser;
    size_t fed = 0;
    while (fed <= kMaxListEntries && parser.Feed(text::EncodeUtf16LE(L"1\r\n"))) ++fed;
    EXPECT_EQ(fed, kMaxListEntries);
    EXPECT_FALSE(parser.Finish(list = PackFileList()));
    EXPECT_TRUE(list.empty());
}

}  // namespace
