// Feeds arbitrary bytes to the list reader, the guard reader and SplitFields,
// and checks what must hold for any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

    // The entries a list can carry, written, read back one for one (the
    // client list writes only those).
    PackFileList listable;
    for (const auto& e : collapsed) {
        if (IsListableEntry(*e)) listable.push_back(std::make_unique<PackFileInfo>(*e));
    }
    PackFileList back;
    ParseListText(SerializeList(listable), back);
    if (back.size() != listable.size()) abort();
    for (size_t i = 0; i < back.size(); ++i) {
        if (back[i]->szPath != listable[i]->szPath || back[i]->szChecksum != listable[i]->szChecksum) abort();
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
