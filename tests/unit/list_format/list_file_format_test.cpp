#include "launcher/list_file_format.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "util/text_util.h"
#include "support/temp_dir.h"

namespace {

std::unique_ptr<PackFileInfo> MakeEntry(int32_t size, int32_t download, std::wstring sum, std::wstring path) {
    auto e = std::make_unique<PackFileInfo>();
    e->nFileSize = size;
    e->nDownloadSize = download;
    e->szChecksum = std::move(sum);
    e->szPath = std::move(path);
    return e;
}

// UTF-16LE bytes of `text` as they stand (no line-end translation), with or without the mark.
std::string Utf16(const std::wstring& text) {
    return text::EncodeUtf16LE(text);
}
std::string Utf16Bom(const std::wstring& text) {
    return "\xFF\xFE" + Utf16(text);
}

std::string Describe(const PackFileInfo& e) {
    return std::to_string(e.nFileSize) + "|" + std::to_string(e.nDownloadSize) + "|" +
           text::ToUtf8(e.szChecksum.str()) + "|" + text::ToUtf8(e.szPath);
}

const std::wstring kSum = L"900150983cd24fb0d6963f7d28e17f72";

PackFileList Parse(const std::string& bytes, bool laterPathReplaces = false) {
    PackFileList list;
    ParseListText(bytes, list, laterPathReplaces);
    return list;
}

std::vector<std::string> Describe(const PackFileList& list) {
    std::vector<std::string> out;
    for (const auto& e : list) out.push_back(Describe(*e));
    return out;
}

using Lines = std::vector<std::string>;

TEST(ListFormat, LineIsFormattedAsWithA32BitLong) {
    EXPECT_EQ(FormatListLine(*MakeEntry(1234, 0, kSum, L"Data\\a.dat")),
              L"      1234|         0|" + kSum + L"|Data\\a.dat\n");
    EXPECT_EQ(FormatListLine(*MakeEntry(0, 0, L"", L"x")),
              L"         0|         0|" + std::wstring(32, L' ') + L"|x\n");
    EXPECT_EQ(FormatListLine(*MakeEntry(-5, INT32_MAX, L"ab", L"")),
              L"        -5|2147483647|ab" + std::wstring(30, L' ') + L"|\n");
    EXPECT_EQ(FormatListLine(*MakeEntry(INT32_MIN, 12345678, std::wstring(40, L'f'), L"p")),
              L"-2147483648|  12345678|" + std::wstring(40, L'f') + L"|p\n");
}

TEST(ListFormat, SerialisedBytesAreUtf16WithMarkAndCrLf) {
    PackFileList list;
    list.push_back(MakeEntry(1, 2, kSum, L"a.dat"));
    list.push_back(MakeEntry(3, 4, kSum, L"Data\\\u00e9\U0001F600.dat"));
    const std::string bytes = SerializeList(list);
    const std::string expected = "\xFF\xFE" + Utf16(L"         1|         2|" + kSum + L"|a.dat\r\n") +
                                 Utf16(L"         3|         4|" + kSum + L"|Data\\\u00e9") +
                                 std::string("\x3D\xD8\x00\xDE", 4) + Utf16(L".dat\r\n");
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(SerializeList(PackFileList{}), "\xFF\xFE");

    PackFileList back = Parse(bytes);
    EXPECT_EQ(Describe(back), Describe(list));
}

TEST(ListFormat, WriteAndReadBackAFile) {
    TempDir dir;
    PackFileList list;
    for (int i = 0; i < 20000; ++i) {
        list.push_back(
            MakeEntry(i * 1000, i, kSum,
                      L"Data\\Folder" + std::to_wstring(i % 97) + L"\\file" + std::to_wstring(i) + L".dat"));
    }
    const std::wstring path = dir.wpath() + L"\\packclit.lit";
    ASSERT_TRUE(WriteListFile(path, list));
    EXPECT_EQ(dir.ReadFile("packclit.lit"), SerializeList(list));
    PackFileList back;
    back.push_back(MakeEntry(7, 7, L"", L"kept"));  // reading appends
    ASSERT_TRUE(ReadListFile(path, back));
    ASSERT_EQ(back.size(), list.size() + 1);
    EXPECT_EQ(back[0]->szPath, L"kept");
    back.erase(back.begin());
    EXPECT_EQ(Describe(back), Describe(list));
}

TEST(ListFormat, ReadingFailuresLeaveTheListAlone) {
    TempDir dir;
    PackFileList list;
    list.push_back(MakeEntry(1, 1, L"", L"a"));
    errno = 0;
    EXPECT_FALSE(ReadListFile(dir.wpath() + L"/missing.lit", list));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(ReadListFile(dir.wpath(), list));  // a folder

    // Larger than any real list, in bytes (sparse) or in entries: refused as broken.
    dir.WriteFile("huge.lit", "");
    ASSERT_EQ(truncate(dir.Join("huge.lit").c_str(), static_cast<off_t>(kMaxListBytes) + 1), 0);
    errno = 0;
    EXPECT_FALSE(ReadListFile(dir.wpath() + L"/huge.lit", list));
    EXPECT_EQ(errno, EFBIG);
    std::wstring many;
    for (size_t i = 0; i <= kMaxListEntries; ++i) many += L"1\n";
    dir.WriteFile("many.lit", Utf16Bom(many));
    errno = 0;
    EXPECT_FALSE(ReadListFile(dir.wpath() + L"/many.lit", list));
    EXPECT_EQ(errno, EFBIG);
    many.resize(many.size() - 2);  // one entry fewer is still a list
    EXPECT_TRUE(ParseListText(Utf16Bom(many), list));
    EXPECT_EQ(list.size(), kMaxListEntries + 1);
}

TEST(ListFormat, ByteOrderMarks) {
    const std::wstring line = L"5|6|" + kSum + L"|Data\\\uD55C\uAE00.dat\r\n";
    const Lines expected{"5|6|" + text::ToUtf8(kSum) + "|Data\\\xED\x95\x9C\xEA\xB8\x80.dat"};
    EXPECT_EQ(Describe(Parse(Utf16Bom(line))), expected);
    EXPECT_EQ(Describe(Parse(Utf16(line))), expected);  // no mark: UTF-16LE
    EXPECT_EQ(Describe(Parse("\xEF\xBB\xBF" + text::ToUtf8(line))), expected);
    // Plain ASCII without a mark is taken as UTF-16LE and yields no sensible entry.
    PackFileList ascii = Parse(text::ToUtf8(line));
    ASSERT_EQ(ascii.size(), 1u);
    EXPECT_EQ(ascii[0]->szPath, L"");
    // Only the mark, or nothing at all: an empty list.
    EXPECT_TRUE(Parse("\xFF\xFE").empty());
    EXPECT_TRUE(Parse("").empty());
}

TEST(ListFormat, OddLines) {
    EXPECT_EQ(Describe(Parse(Utf16Bom(L"12|34\r\n"))), (Lines{"12|34||"}));
    EXPECT_EQ(Describe(Parse(Utf16Bom(L"12\r\n|\r\n"))), (Lines{"12|0||", "0|0||"}));
    // Blank lines, lone CRs, LF-only ends, no final line end.
    EXPECT_EQ(Describe(Parse(Utf16Bom(L"\r\n   \r\n\t\b \r\n1|2|s|p\rq\n3|4|t|u"))),
              (Lines{"1|2|s|pq", "3|4|t|u"}));
    // Tabs vanish, blanks in checksum and path stay, extra fields are ignored.
    EXPECT_EQ(Describe(Parse(Utf16Bom(L" 1\t0|2| ab |Data\\a b.dat|extra|more\r\n"))),
              (Lines{"10|2| ab |Data\\a b.dat"}));
    // A NUL ends the line's text as it would a C string.
    EXPECT_EQ(Describe(Parse(Utf16Bom(std::wstring(L"1|2|s|ab\0cd|e\r\n3|4\r\n", 20)))),
              (Lines{"1|2|s|ab", "3|4||"}));
}

TEST(ListFormat, LongLinesAreReadInPiecesOf259) {
    // 258 characters and the line end fill one piece exactly.
    const std::wstring head = L"1|2|" + kSum + L"|";
    std::wstring fits = head + std::wstring(258 - head.size(), L'p');
    PackFileList one = Parse(Utf16Bom(fits + L"\r\n"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0]->szPath, std::wstring(258 - head.size(), L'p'));

    // 259 characters: the line end comes alone as an empty piece.
    EXPECT_EQ(Parse(Utf16Bom(fits + L"q\r\n")).size(), 1u);

    // 600 characters: three pieces, three entries.
    std::wstring longLine = L"7|8|" + std::wstring(255, L'c') + L"9|10|" + std::wstring(254, L'x') + L"11|12";
    longLine += std::wstring(600 - longLine.size(), L'z');
    PackFileList three = Parse(Utf16Bom(longLine + L"\r\n5|6\r\n"));
    ASSERT_EQ(three.size(), 4u);
    EXPECT_EQ(three[0]->nFileSize, 7);
    EXPECT_EQ(three[0]->szChecksum, std::wstring(64, L'c'));
    EXPECT_EQ(three[1]->nFileSize, 9);
    EXPECT_EQ(three[1]->nDownloadSize, 10);
    EXPECT_EQ(three[2]->nFileSize, 11);
    EXPECT_EQ(three[3]->nFileSize, 5);
}

TEST(ListFormat, LargeListsReadAsTheirLinesWhereverTheyFall) {
    // Lines of many lengths (long ones in pieces, lone CRs, a U+FEFF at a
    // line start) across some 400 KiB: every line gives the entries it gives
    // alone, in order, with or without the mark.
    std::wstring text;
    Lines expected;
    for (int i = 0; text.size() < 200000; ++i) {
        std::wstring line = std::to_wstring(i) + L"|" + std::to_wstring(i % 97) + L"|" + kSum + L"|";
        line += (i % 53 == 0 ? L"\xFEFF" : L"") + std::wstring(i % 13 == 0 ? 400 + i % 300 : i % 90, L'p');
        if (i % 31 == 0) line += L"\rq";
        text += line + L"\r\n";
        const std::wstring read = line + L"\n";
        for (size_t at = 0; at < read.size(); at += 259) {
            PackFileInfo piece;
            if (ParseListLine(read.substr(at, 259), piece)) expected.push_back(Describe(piece));
        }
    }
    EXPECT_EQ(Describe(Parse(Utf16Bom(text))), expected);
    EXPECT_EQ(Describe(Parse(Utf16(text))), expected);
}

TEST(ListFormat, ChecksumFieldKeepsWhatItWasGiven) {
    // A digest and every other text read back and compare as given; only
    // lower-case digits make a digest, so upper case never equals one.
    const std::wstring upper = L"900150983CD24FB0D6963F7D28E17F72";
    for (const std::wstring& text :
         {kSum, upper, std::wstring(32, L' '), std::wstring(), std::wstring(64, L'c'), kSum.substr(1),
          kSum + L"0", std::wstring(L"90015098 cd24fb0d6963f7d28e17f7z")}) {
        const ListChecksum sum(text);
        EXPECT_EQ(sum.str(), text);
        EXPECT_EQ(sum.size(), text.size());
        EXPECT_EQ(sum.empty(), text.empty());
        EXPECT_TRUE(sum == text);
        EXPECT_TRUE(sum == ListChecksum(sum));
        EXPECT_EQ(sum == ListChecksum(kSum), text == kSum) << text::ToUtf8(text);
        EXPECT_EQ(sum == kSum.c_str(), text == kSum);
        EXPECT_EQ(sum.Hash() == ListChecksum(text).Hash(), true);
    }
    EXPECT_FALSE(ListChecksum(kSum) == upper);
    ListChecksum cleared(kSum);
    cleared.clear();
    EXPECT_TRUE(cleared.empty());
    EXPECT_TRUE(cleared == L"");
}

TEST(ListFormat, LaterPathReplacesKeepsLastOccurrences) {
    const std::string bytes = Utf16Bom(L"1|0|a1|A\r\n2|0|b1|B\r\n3|0|a2|A\r\n4|0|c1|C\r\n5|0|b2|B\r\n");
    EXPECT_EQ(Parse(bytes).size(), 5u);
    EXPECT_EQ(Describe(Parse(bytes, true)), (Lines{"3|0|a2|A", "4|0|c1|C", "5|0|b2|B"}));
}

TEST(ListFormat, AppendedEntriesReadBackAsAJournalEvenAfterATornLine) {
    TempDir dir;
    const std::wstring path = dir.wpath() + L"/packclit.lit";
    ASSERT_TRUE(AppendListEntry(path, *MakeEntry(1, 1, kSum, L"a")));
    EXPECT_EQ(dir.ReadFile("packclit.lit"), Utf16Bom(L"         1|         1|" + kSum + L"|a\r\n"));
    ASSERT_TRUE(AppendListEntry(path, *MakeEntry(2, 2, kSum, L"b")));
    ASSERT_TRUE(AppendListEntry(path, *MakeEntry(3, 3, std::wstring(32, L'n'), L"a")));
    PackFileList list;
    ASSERT_TRUE(ReadListFile(path, list, true));
    EXPECT_EQ(Describe(list),
              (Lines{"2|2|" + text::ToUtf8(kSum) + "|b", "3|3|" + std::string(32, 'n') + "|a"}));

    errno = 0;
    EXPECT_FALSE(AppendListEntry(dir.wpath() + L"/no/such/folder.lit", *MakeEntry(1, 1, L"", L"x")));
    EXPECT_EQ(errno, ENOENT);

    // Torn earlier appends, with an odd length or an even one, without a line end.
    for (const std::string& torn : {Utf16Bom(L"1|1|s|a\r\n2|2|s|b") + "\x41", Utf16Bom(L"1|1|s|a")}) {
        dir.WriteFile("j.lit", torn);
        ASSERT_TRUE(AppendListEntry(dir.wpath() + L"/j.lit", *MakeEntry(3, 3, kSum, L"c")));
        list.clear();
        ASSERT_TRUE(ReadListFile(dir.wpath() + L"/j.lit", list));
        ASSERT_GE(list.size(), 2u);
        EXPECT_EQ(Describe(*list.front()), "1|1|s|a");
        EXPECT_EQ(Describe(*list.back()), "3|3|" + text::ToUtf8(kSum) + "|c");
    }
}

TEST(ListFormat, ListableEntriesReadBackUnchanged) {
    EXPECT_TRUE(IsListableEntry(*MakeEntry(1, 2, kSum, L"Data\\Map\\a b[1].dat")));
    EXPECT_TRUE(IsListableEntry(*MakeEntry(INT32_MIN, INT32_MAX, kSum, L" lead")));
    // An empty checksum is written as 32 blanks and read back as such.
    EXPECT_FALSE(IsListableEntry(*MakeEntry(1, 2, L"", L"a")));
    // A written line holds 55 characters before the path and must stay
    // within one 259-character piece.
    EXPECT_TRUE(IsListableEntry(*MakeEntry(1, 2, kSum, std::wstring(204, L'p'))));
    EXPECT_FALSE(IsListableEntry(*MakeEntry(1, 2, kSum, std::wstring(205, L'p'))));
    for (const wchar_t* bad : {L"a|b", L"a\nb", L"a\rb", L"a\tb", L"a`b", L"a\bb"}) {
        EXPECT_FALSE(IsListableEntry(*MakeEntry(1, 2, kSum, bad))) << text::ToUtf8(bad);
    }
}

TEST(GuardFile, FirstLineWithoutBlanksAndLineEnds) {
    EXPECT_EQ(ParseGuardText(Utf16Bom(L" 9001 5098\t \r\nsecond\r\n")), L"90015098\t");
    EXPECT_EQ(ParseGuardText("\xEF\xBB\xBF" + text::ToUtf8(kSum) + "\n"), kSum);
    EXPECT_EQ(ParseGuardText(Utf16(kSum + L"\r")), kSum);
    EXPECT_EQ(ParseGuardText(""), L"");
    EXPECT_EQ(ParseGuardText("\xFF\xFE"), L"");
    EXPECT_EQ(ParseGuardText(Utf16Bom(std::wstring(300, L'a') + L"\r\n")), std::wstring(255, L'a'));
    // Plain ASCII is read as UTF-16LE, so it never equals a digest text.
    EXPECT_NE(ParseGuardText(text::ToUtf8(kSum)), kSum);

    TempDir dir;
    dir.WriteFile("packserv.md5", Utf16Bom(kSum + L"\r\n"));
    std::wstring textOut = L"old";
    ASSERT_TRUE(ReadGuardFile(dir.wpath() + L"\\packserv.md5", textOut));
    EXPECT_EQ(textOut, kSum);
    errno = 0;
    EXPECT_FALSE(ReadGuardFile(dir.wpath() + L"/none.md5", textOut));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
