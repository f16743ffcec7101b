// Feeds arbitrary bytes to the list reader, the guard reader and SplitFields,
// and checks what must hold for any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "launcher/list_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    PackFileList list;
    ParseListText(bytes, list);
    for (const auto& e : list) {
        // A field never outgrows its slot, whatever the line held.
        if (e->szPath.size() > ListFieldTable::kSlotChars) abort();
        if (e->szChecksum.size() > PackFileInfo::kChecksumCapacity) abort();
        if (e->szPath.find_first_of(L"\r\n\t\b`") != std::wstring::npos) abort();
    }
    PackFileList collapsed;
    ParseListText(bytes, collapsed, true);
    if (collapsed.size() > list.size()) abort();

    // What we write we read back unchanged.
    PackFileList back;
    ParseListText(SerializeList(collapsed), back);
    for (size_t i = 0; i < back.size() && i < collapsed.size(); ++i) {
        if (IsListableEntry(*collapsed[i]) && back[i]->szPath != collapsed[i]->szPath) abort();
    }

    if (ParseGuardText(bytes).size() > 255) abort();

    const std::wstring text = DecodeListText(bytes);
    ListFieldTable table;
    const int count = SplitFields(text, L'|', table);
    if (count < 0 || count > ListFieldTable::kSlots) abort();
    for (int i = 0; i < count; ++i) {
        if (table.lengths[i] > ListFieldTable::kSlotChars) abort();
    }
    return 0;
}
