#include "launcher/list_file_format.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "common/text_util.h"

namespace {

constexpr size_t kLinePieceChars = 259;  // a 260-character line buffer
constexpr size_t kGuardLineChars = 255;

// Characters with a meaning of their own to SplitFields (the separator aside).
constexpr auto kSpecial = [] {
    std::array<bool, 128> special{};
    for (char c : {'\t', '\b', '\r', '\n', '[', ']', '"', '`'}) special[static_cast<unsigned char>(c)] = true;
    return special;
}();

bool IsBlankOrDropped(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\b' || c == L'\r' || c == L'\n';
}

// Calls `onPiece` for every piece of at most `maxChars` characters (the LF
// counted) that a line-by-line reader with that buffer would deliver, each cut
// at its first NUL as a C string would be.
template <typename F>
void ForEachPiece(std::wstring_view text, size_t maxChars, F&& onPiece) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = std::min(text.size(), pos + maxChars);
        // Only within the piece: a search to the end of a text without line
        // ends made every piece cost the whole text.
        const size_t lf = text.substr(pos, end - pos).find(L'\n');
        if (lf != std::wstring_view::npos) end = pos + lf + 1;
        std::wstring_view piece = text.substr(pos, end - pos);
        size_t nul = piece.find(L'\0');
        if (nul != std::wstring_view::npos) piece = piece.substr(0, nul);
        if (!onPiece(piece)) return;
        pos = end;
    }
}

void KeepLastOfEachPath(PackFileList& entries) {
    std::unordered_set<std::wstring_view> seen;
    PackFileList kept;
    kept.reserve(entries.size());
    for (size_t i = entries.size(); i-- > 0;) {
        if (seen.insert(entries[i]->szPath).second) kept.push_back(std::move(entries[i]));
    }
    std::reverse(kept.begin(), kept.end());
    entries.swap(kept);
}

void AppendDecimal(std::wstring& out, int32_t value, size_t width) {
    wchar_t digits[12];
    size_t n = 0;
    int64_t v = value;
    bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative) digits[n++] = L'-';
    if (n < width) out.append(width - n, L' ');
    while (n > 0) out += digits[--n];
}

void AppendFormattedLine(std::wstring& out, const PackFileInfo& entry) {
    AppendDecimal(out, entry.nFileSize, 10);
    out += L'|';
    AppendDecimal(out, entry.nDownloadSize, 10);
    out += L'|';
    entry.szChecksum.AppendTo(out);
    if (entry.szChecksum.size() < 32) out.append(32 - entry.szChecksum.size(), L' ');
    out += L'|';
    out += entry.szPath;
    out += L'\n';
}

// With `dropLineEnds`, CR and LF are taken out of the line first, as the
// list reader does before it splits.
int SplitFieldsImpl(std::wstring_view line, wchar_t separator, ListFieldTable& table, bool dropLineEnds) {
    std::fill(std::begin(table.lengths), std::end(table.lengths), 0);
    auto isLineEnd = [dropLineEnds](wchar_t c) { return dropLineEnds && (c == L'\r' || c == L'\n'); };
    size_t i = 0;
    while (i < line.size() && (line[i] == L' ' || isLineEnd(line[i]))) ++i;
    int slot = 0;
    wchar_t* field = table.slots[0];
    size_t len = 0;  // of the current field, stored in the table when it ends
    bool inGroup = false;
    for (; i < line.size(); ++i) {
        const wchar_t c = line[i];
        // Most characters are plain text: store them without the rules below.
        if (c != separator && (static_cast<uint32_t>(c) >= 128 || !kSpecial[c])) {
            if (len < ListFieldTable::kSlotChars) field[len++] = c;
            continue;
        }
        if (c == L'\t' || c == L'\b' || isLineEnd(c)) continue;
        if (!inGroup && c == separator) {
            table.lengths[slot] = len;
            // Fields after the last slot are dropped; the count stops there.
            if (++slot == ListFieldTable::kSlots) return slot;
            field = table.slots[slot];
            len = 0;
            continue;
        }
        if (!inGroup && (c == L'[' || c == L'"' || c == L'`')) {
            inGroup = true;
        } else if (inGroup && (c == L']' || c == L'"' || c == L'`')) {
            inGroup = false;
        }
        if (c == L'`') continue;
        if (len < ListFieldTable::kSlotChars) field[len++] = c;
    }
    table.lengths[slot] = len;
    // A last field left empty (the line ends in the separator) is not counted.
    return len > 0 ? slot + 1 : slot;
}

}  // namespace

int SplitFields(std::wstring_view line, wchar_t separator, ListFieldTable& table) {
    return SplitFieldsImpl(line, separator, table, false);
}

int32_t ParseListNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = std::min(value * 10 + (text[i] - L'0'), kLimit);
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

bool ParseListLine(std::wstring_view line, PackFileInfo& entry) {
    if (std::all_of(line.begin(), line.end(), IsBlankOrDropped)) return false;
    ListFieldTable table;
    const int count = SplitFieldsImpl(line, L'|', table, true);
    if (count < 1) return false;
    entry = PackFileInfo{};
    entry.nFileSize = ParseListNumber(table.Field(0));
    if (count >= 2) entry.nDownloadSize = ParseListNumber(table.Field(1));
    if (count >= 3) entry.SetChecksum(table.Field(2));
    if (count >= 4) entry.SetPath(table.Field(3));
    return true;
}

namespace {
// Text mode: CR LF is read as LF; a lone CR stays.
std::wstring CollapseLineEnds(std::wstring text) {
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        text[out++] = text[i];
    }
    text.resize(out);
    return text;
}
}  // namespace

std::wstring DecodeListText(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return CollapseLineEnds(text::FromUtf8(bytes.substr(3)));
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
    return CollapseLineEnds(text::DecodeUtf16LE(bytes));
}

bool ParseListText(std::string_view bytes, PackFileList& list, bool laterPathReplaces) {
    PackFileList entries;
    bool tooMany = false;
    // UTF-16 text is decoded in blocks that end just after a line feed, so a
    // large list is never held decoded as a whole (four bytes a character);
    // lines and their pieces are the same as in the whole text.
    const bool utf8 = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const size_t start = utf8 ? 0 : bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE" ? 2 : 0;
    constexpr size_t kBlockBytes = 64 * 1024;
    for (size_t pos = start; pos < bytes.size() && !tooMany;) {
        size_t end = bytes.size();
        for (size_t at = pos + kBlockBytes; !utf8 && at + 1 < bytes.size(); at += 2) {
            if (bytes[at] == '\n' && bytes[at + 1] == '\0') {
                end = at + 2;
                break;
            }
        }
        // The mark goes with the first block only: a later block is plain
        // UTF-16, even when its first character is U+FEFF.
        const std::wstring text = pos == start
                                      ? DecodeListText(bytes.substr(0, end))
                                      : CollapseLineEnds(text::DecodeUtf16LE(bytes.substr(pos, end - pos)));
        ForEachPiece(text, kLinePieceChars, [&entries, &tooMany](std::wstring_view piece) {
            auto entry = std::make_unique<PackFileInfo>();
            if (ParseListLine(piece, *entry)) entries.push_back(std::move(entry));
            tooMany = entries.size() > kMaxListEntries;
            return !tooMany;
        });
        pos = end;
    }
    if (tooMany) return false;
    if (laterPathReplaces) KeepLastOfEachPath(entries);
    list.reserve(list.size() + entries.size());
    for (auto& e : entries) list.push_back(std::move(e));
    return true;
}

std::wstring FormatListLine(const PackFileInfo& entry) {
    std::wstring line;
    AppendFormattedLine(line, entry);
    return line;
}

std::string EncodeListText(std::wstring_view text) {
    return text::EncodeUtf16LE(text, text::LineEnds::kCrLf);
}

std::string SerializeList(const PackFileList& list) {
    // Line by line into the file's bytes: the whole list as wide text would
    // cost twice the bytes again.
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + list.size() * 2 * 96);
    std::wstring line;
    for (const auto& entry : list) {
        line.clear();
        AppendFormattedLine(line, *entry);
        bytes += EncodeListText(line);
    }
    return bytes;
}

bool IsListableEntry(const PackFileInfo& entry) {
    PackFileList back;
    ParseListText(EncodeListText(FormatListLine(entry)), back);
    return back.size() == 1 && back[0]->nFileSize == entry.nFileSize &&
           back[0]->nDownloadSize == entry.nDownloadSize && back[0]->szChecksum == entry.szChecksum &&
           back[0]->szPath == entry.szPath;
}

std::wstring ParseGuardText(std::string_view bytes) {
    const std::wstring text = DecodeListText(bytes.substr(0, kGuardReadBytes));
    std::wstring first;
    ForEachPiece(text, kGuardLineChars, [&first](std::wstring_view piece) {
        first.assign(piece);
        return false;
    });
    std::erase_if(first, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L' '; });
    return first;
}
