#include "services/game_option/option_json.h"

#include <boost/property_tree/json_parser.hpp>
#include <sstream>

#include "util/path_util.h"
#include "util/text_util.h"
#include "base/file_system.h"

namespace COMMON_UTIL {
namespace GAME_OPTION {

namespace json = boost::property_tree::json_parser;

void ReadJsonFile(const std::wstring& path, boost::property_tree::wptree& tree, const std::locale& locale) {
    const std::string narrow = NativePath(path);
    fsys::File in;
    if (!in.Open(narrow, fsys::File::Mode::kRead))
        throw json::json_parser_error("cannot open file", narrow, 0);
    std::string bytes;
    if (!in.ReadAll(bytes)) throw json::json_parser_error("cannot read file", narrow, 0);
    // Editors on Windows like to start UTF-8 files with a byte-order mark.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);

    std::wistringstream stream(text::FromUtf8(bytes));
    stream.imbue(locale);
    try {
        json::read_json(stream, tree);
    } catch (const json::json_parser_error& e) {
        throw json::json_parser_error(e.message(), narrow, e.line());
    }
}

std::string WriteJsonText(const boost::property_tree::wptree& tree, const std::locale& locale) {
    std::wostringstream stream;
    stream.imbue(locale);
    json::write_json(stream, tree, true);
    return text::ToUtf8(stream.str());
}

std::wstring ToJsonUnits(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t ch : text) {
        const auto cp = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            const unsigned long v = cp - 0x10000;
            out += static_cast<wchar_t>(0xD800 + (v >> 10));
            out += static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace GAME_OPTION
}  // namespace COMMON_UTIL
