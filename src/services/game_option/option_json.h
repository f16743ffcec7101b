#pragma once
// Reading and writing the option files as wide property trees. Files are
// UTF-8 on disk and converted here, so neither the stream's locale nor the
// process's can change what is read or written.
#include <boost/property_tree/ptree.hpp>
#include <locale>
#include <optional>
#include <string>
#include <type_traits>

namespace COMMON_UTIL {
namespace GAME_OPTION {

// Reads a JSON file into `tree`. Throws boost::property_tree::json_parser_error
// (naming the file) when it cannot be opened or is not valid JSON.
void ReadJsonFile(const std::wstring& path, boost::property_tree::wptree& tree, const std::locale& locale);

// The pretty-printed JSON of `tree` as UTF-8.
std::string WriteJsonText(const boost::property_tree::wptree& tree, const std::locale& locale);

// Values are converted with the classic locale whatever the global one is.
template <typename T>
std::optional<T> GetValue(const boost::property_tree::wptree& tree, const wchar_t* key) {
    if constexpr (std::is_same_v<T, std::wstring>) {
        auto value = tree.get_optional<std::wstring>(key);
        return value ? std::optional<T>(*value) : std::nullopt;
    } else {
        using Translator = typename boost::property_tree::translator_between<std::wstring, T>::type;
        auto value = tree.get_optional<T>(key, Translator(std::locale::classic()));
        return value ? std::optional<T>(*value) : std::nullopt;
    }
}

// Texts go in with characters above U+FFFF as surrogate pairs: the JSON
// writer escapes each unit as \uXXXX but clamps anything wider to \uFFFF.
std::wstring ToJsonUnits(const std::wstring& text);

template <typename T>
void PutValue(boost::property_tree::wptree& tree, const wchar_t* key, const T& value) {
    if constexpr (std::is_same_v<T, std::wstring>) {
        tree.put(key, ToJsonUnits(value));
    } else {
        using Translator = typename boost::property_tree::translator_between<std::wstring, T>::type;
        tree.put(key, value, Translator(std::locale::classic()));
    }
}

}  // namespace GAME_OPTION
}  // namespace COMMON_UTIL
