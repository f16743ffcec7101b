// The list file format: fields, lines, marks, pieces, journals and guards.
#include "launcher/list_file_format.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "common/text_util.h"
#include "support/temp_dir.h"

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
PackFileList LargeList(int count) {
    PackFileList list;
    for (int i = 0; i < count; ++i)
        list.push_back(
            Entry(i, i * 3, i % 3 ? kSum : std::wstring(32, L'X'),
                  L"Data\\Folder" + std::to_wstring(i % 50) + L"\\file" + std::to_wstring(i) + L".dat"));
    return list;
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
                               {L"2147483647", INT32_MAX},
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

TEST(ListFormat, ListsTooLargeAreRefusedAndFailuresLeaveTheListAlone) {
    TempDir dir;
    PackFileList list;
    list.push_back(Entry(1, 1, L"", L"a"));
    dir.WriteFile("huge.lit", "");
    ASSERT_EQ(truncate(dir.Join("huge.lit").c_str(), static_cast<off_t>(kMaxListBytes) + 1), 0);
    std::wstring many;
    for (size_t i = 0; i <= kMaxListEntries; ++i) many += L"1\n";
    dir.WriteFile("many.lit", Bom(many));
    for (auto [name, error] :
         {std::pair{"missing.lit", ENOENT}, {"", EISDIR}, {"huge.lit", EFBIG}, {"many.lit", EFBIG}}) {
        errno = 0;
        EXPECT_FALSE(ReadListFile(dir.wpath() + L"/" + text::FromUtf8(name), list)) << name;
        EXPECT_TRUE(!*name || errno == error) << name << " " << errno;
        EXPECT_EQ(list.size(), 1u);
    }
    many.resize(many.size() - 2);  // one entry fewer is still a list
    EXPECT_TRUE(ParseListText(Bom(many), list));
    EXPECT_EQ(list.size(), kMaxListEntries + 1);
    // Refused while the entries arrive, not once all are held.
    ListTextParser parser;
    size_t fed = 0;
    while (fed <= kMaxListEntries && parser.Feed(text::EncodeUtf16LE(L"1\r\n"))) ++fed;
    EXPECT_EQ(fed, kMaxListEntries);
    EXPECT_FALSE(parser.Finish(list = PackFileList()));
    EXPECT_TRUE(list.empty());
}

TEST(ListFormat, FilesAreWrittenAndReadByteForByteAndAFailingWriterStops) {
    TempDir dir;
    const PackFileList list = LargeList(6000);  // some 1 MiB: several pieces
    const std::wstring path = dir.wpath() + L"\\packclit.lit";
    ASSERT_TRUE(WriteListFile(path, list));
    EXPECT_EQ(dir.ReadFile("packclit.lit"), SerializeList(list));
    PackFileList back;
    back.push_back(Entry(7, 7, L"", L"kept"));  // reading appends
    ASSERT_TRUE(ReadListFile(path, back));
    EXPECT_EQ(back[0]->szPath, L"kept");
    back.erase(back.begin());
    EXPECT_EQ(Describe(back), Describe(list));

    std::string written;
    int calls = 0;
    EXPECT_FALSE(
        WriteListPieces(list, 4096, [&](std::string_view piece) { return written += piece, ++calls < 3; }));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(SerializeList(list).substr(0, written.size()), written);
    EXPECT_LT(written.size(), SerializeList(list).size() / 4);
}

TEST(ListFormat, ChecksumFieldKeepsWhatItWasGiven) {
    // Only lower-case digits make a digest, so upper case never equals one.
    for (const std::wstring& text :
         {kSum, std::wstring(L"900150983CD24FB0D6963F7D28E17F72"), std::wstring(32, L' '), std::wstring(),
          std::wstring(64, L'c'), kSum.substr(1), kSum + L"0"}) {
        const ListChecksum sum(text);
        EXPECT_EQ(sum.str(), text);
        EXPECT_EQ(sum.size(), text.size());
        EXPECT_EQ(sum.empty(), text.empty());
        EXPECT_TRUE(sum == text && sum == ListChecksum(sum));
        EXPECT_EQ(sum == ListChecksum(kSum), text == kSum) << text::ToUtf8(text);
        EXPECT_EQ(sum == kSum.c_str(), text == kSum);
        EXPECT_EQ(sum.Hash(), ListChecksum(text).Hash());
    }
    ListChecksum cleared(kSum);
    cleared.clear();
    EXPECT_TRUE(cleared.empty() && cleared == L"");
}

TEST(ListFormat, AppendedEntriesReadBackAsAJournalEvenAfterATornLine) {
    TempDir dir;
    const std::wstring path = dir.wpath() + L"/packclit.lit";
    ASSERT_TRUE(AppendListEntry(path, *Entry(1, 1, kSum, L"a")));
    EXPECT_EQ(dir.ReadFile("packclit.lit"), Bom(L"         1|         1|" + kSum + L"|a\r\n"));
    ASSERT_TRUE(AppendListEntry(path, *Entry(2, 2, kSum, L"b")));
    ASSERT_TRUE(AppendListEntry(path, *Entry(3, 3, std::wstring(32, L'n'), L"a")));
    PackFileList list;
    ASSERT_TRUE(ReadListFile(path, list, true));
    EXPECT_EQ(Describe(list),
              (Lines{"2|2|" + text::ToUtf8(kSum) + "|b", "3|3|" + std::string(32, 'n') + "|a"}));
    errno = 0;
    EXPECT_FALSE(AppendListEntry(dir.wpath() + L"/no/such/folder.lit", *Entry(1, 1, L"", L"x")));
    EXPECT_EQ(errno, ENOENT);
    // Torn earlier appends, with an odd length or an even one, without a line end.
    for (const std::string& torn : {Bom(L"1|1|s|a\r\n2|2|s|b") + "\x41", Bom(L"1|1|s|a")}) {
        dir.WriteFile("j.lit", torn);
        ASSERT_TRUE(AppendListEntry(dir.wpath() + L"/j.lit", *Entry(3, 3, kSum, L"c")));
        list.clear();
        ASSERT_TRUE(ReadListFile(dir.wpath() + L"/j.lit", list));
        ASSERT_GE(list.size(), 2u);
        EXPECT_EQ(Describe(*list.front()), "1|1|s|a");
        EXPECT_EQ(Describe(*list.back()), "3|3|" + text::ToUtf8(kSum) + "|c");
    }
}

TEST(ListFormat, ListableEntriesReadBackUnchanged) {
    EXPECT_TRUE(IsListableEntry(*Entry(1, 2, kSum, L"Data\\Map\\a b[1].dat")));
    EXPECT_TRUE(IsListableEntry(*Entry(INT32_MIN, INT32_MAX, kSum, L" lead")));
    EXPECT_FALSE(IsListableEntry(*Entry(1, 2, L"", L"a")));  // written as 32 blanks, read back as such
    // 55 characters before the path, all within one 259-character piece.
    EXPECT_TRUE(IsListableEntry(*Entry(1, 2, kSum, std::wstring(204, L'p'))));
    EXPECT_FALSE(IsListableEntry(*Entry(1, 2, kSum, std::wstring(205, L'p'))));
    for (const wchar_t* bad : {L"a|b", L"a\nb", L"a\rb", L"a\tb", L"a`b", L"a\bb"})
        EXPECT_FALSE(IsListableEntry(*Entry(1, 2, kSum, bad))) << text::ToUtf8(bad);
}

TEST(GuardFile, FirstLineWithoutBlanksAndLineEnds) {
    EXPECT_EQ(ParseGuardText(Bom(L" 9001 5098\t \r\nsecond\r\n")), L"90015098\t");
    EXPECT_EQ(ParseGuardText("\xEF\xBB\xBF" + text::ToUtf8(kSum) + "\n"), kSum);
    EXPECT_EQ(ParseGuardText(text::EncodeUtf16LE(kSum + L"\r")), kSum);
    EXPECT_EQ(ParseGuardText("") + ParseGuardText("\xFF\xFE"), L"");
    EXPECT_EQ(ParseGuardText(Bom(std::wstring(300, L'a') + L"\r\n")), std::wstring(255, L'a'));
    EXPECT_NE(ParseGuardText(text::ToUtf8(kSum)), kSum);  // plain ASCII is read as UTF-16LE
    TempDir dir;
    dir.WriteFile("packserv.md5", Bom(kSum + L"\r\n"));
    std::wstring textOut = L"old";
    ASSERT_TRUE(ReadGuardFile(dir.wpath() + L"\\packserv.md5", textOut));
    EXPECT_EQ(textOut, kSum);
    errno = 0;
    EXPECT_FALSE(ReadGuardFile(dir.wpath() + L"/none.md5", textOut));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
