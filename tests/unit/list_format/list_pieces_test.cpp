// Lists are read and written a piece at a time, so a large one is never held
// whole: wherever the pieces fall, the entries and bytes are those of the
// list taken at once.
#include <gtest/gtest.h>

#include <cerrno>

#include "util/text_util.h"
#include "launcher/list_file_format.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> Describe(const PackFileList& list) {
    std::vector<std::string> out;
    for (const auto& e : list) {
        out.push_back(std::to_string(e->nFileSize) + "|" + std::to_string(e->nDownloadSize) + "|" +
                      text::ToUtf8(e->szChecksum.str()) + "|" + text::ToUtf8(e->szPath));
    }
    return out;
}

// Some 300 KiB of list text with what a reader trips over: lines longer than
// a piece, lone CRs, NULs inside a line, U+FEFF at a line start, characters
// outside the basic plane, blank lines, the bytes of a line feed across two
// characters.
std::wstring AwkwardText() {
    std::wstring text;
    for (int i = 0; text.size() < 150000; ++i) {
        std::wstring line = std::to_wstring(i) + L"|" + std::to_wstring(i % 7) + L"|";
        line += i % 5 ? L"900150983cd24fb0d6963f7d28e17f72" : L"odd sum";
        line += L"|";
        if (i % 41 == 0) line += L"\xFEFF";
        line += std::wstring(i % 17 == 0 ? 300 + i % 250 : i % 60, static_cast<wchar_t>(L'a' + i % 26));
        if (i % 23 == 0) line += L"\r\x1F600x";
        if (i % 29 == 0) line += std::wstring(1, L'\0') + L"after a NUL";
        // Bytes 0A 00 across two characters: no line feed.
        if (i % 3 == 0) line += L"\x0A41\x0100";
        text += line + (i % 37 == 0 ? L"\r\n\r\n" : L"\r\n");
    }
    return text;
}

PackFileList ParseInPieces(const std::string& bytes, size_t pieceBytes, bool laterPathReplaces = false) {
    ListTextParser parser(laterPathReplaces);
    for (size_t at = 0; at < bytes.size(); at += pieceBytes) {
        EXPECT_TRUE(parser.Feed(std::string_view(bytes).substr(at, pieceBytes)));
    }
    PackFileList list;
    EXPECT_TRUE(parser.Finish(list));
    return list;
}

TEST(ListPieces, EntriesAreTheSameWhereverThePiecesFall) {
    const std::wstring text = AwkwardText();
    const std::string utf16 = text::EncodeUtf16LE(text);
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"UTF-16 with mark", "\xFF\xFE" + utf16},
        {"UTF-16 without mark", utf16},
        {"UTF-16 with an odd last byte", "\xFF\xFE" + utf16 + "7"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text::ToUtf8(text)},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        PackFileList whole;
        ASSERT_TRUE(ParseListText(file.bytes, whole));
        const auto expected = Describe(whole);
        ASSERT_GT(expected.size(), 1500u);
        for (size_t piece : {1, 2, 3, 4097, 65536, 65537, 1 << 20}) {
            EXPECT_EQ(Describe(ParseInPieces(file.bytes, piece)), expected) << "pieces of " << piece;
        }
        EXPECT_EQ(Describe(ParseInPieces(file.bytes, 3001, true)),
                  Describe(ParseInPieces(file.bytes, 1 << 20, true)));
    }
    // Files too short to tell their mark, given a byte at a time.
    for (const std::string tiny : {"7", "\xFF\xFE", "\xEF\xBB", "1\0|\0"}) {
        PackFileList whole;
        ParseListText(tiny, whole);
        EXPECT_EQ(Describe(ParseInPieces(tiny, 1)), Describe(whole));
    }
}

TEST(ListPieces, TooManyEntriesAreRefusedWhileTheyArrive) {
    ListTextParser parser;
    const std::string line = text::EncodeUtf16LE(L"1\r\n");
    bool accepted = true;
    size_t fed = 0;
    for (; fed <= kMaxListEntries && accepted; ++fed) accepted = parser.Feed(line);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(fed, kMaxListEntries + 1);
    PackFileList list;
    EXPECT_FALSE(parser.Finish(list));
    EXPECT_TRUE(list.empty());
}

PackFileList LargeList(int count) {
    PackFileList list;
    for (int i = 0; i < count; ++i) {
        auto e = std::make_unique<PackFileInfo>();
        e->nFileSize = i;
        e->nDownloadSize = i * 3;
        e->SetChecksum(i % 3 ? L"900150983cd24fb0d6963f7d28e17f72" : std::wstring(32, L'X'));
        e->SetPath(L"Data\\Folder" + std::to_wstring(i % 50) + L"\\file" + std::to_wstring(i) + L".dat");
        list.push_back(std::move(e));
    }
    return list;
}

TEST(ListPieces, AListLargerThanAPieceIsWrittenAndReadBackByteForByte) {
    TempDir dir;
    const PackFileList list = LargeList(6000);  // some 1 MiB on disk
    const std::wstring path = text::FromUtf8(dir.Join("packclit.lit"));
    ASSERT_TRUE(WriteListFile(path, list));
    EXPECT_EQ(ReadWholeFile(dir.Join("packclit.lit")), SerializeList(list));
    PackFileList back;
    ASSERT_TRUE(ReadListFile(path, back));
    EXPECT_EQ(Describe(back), Describe(list));
}

TEST(ListPieces, AWriterThatFailsStopsTheWrite) {
    const PackFileList list = LargeList(3000);
    std::string written;
    int calls = 0;
    EXPECT_FALSE(WriteListPieces(list, 4096, [&](std::string_view piece) {
        written += piece;
        return ++calls < 3;
    }));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(SerializeList(list).substr(0, written.size()), written);
    EXPECT_LT(written.size(), SerializeList(list).size() / 4);
}

}  // namespace
