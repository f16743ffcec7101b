#include "os/posix/desktop_entry.h"

#include <vector>

namespace desktop_entry {

std::string QuoteExecArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';  // "%x" would be a field code
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string EscapeValue(std::string_view value) {
    std::string escaped;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case ' ':
                escaped += i == 0 ? "\\s" : " ";  // a leading space would be trimmed
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string MakeApplicationEntry(std::string_view executable, std::string_view iconPath) {
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Quon\n";
    // The value rules apply after the quoting rules: a "\" in the path ends up as four.
    entry += "Exec=" + EscapeValue(QuoteExecArgument(executable)) + "\n";
    if (!iconPath.empty()) entry += "Icon=" + EscapeValue(iconPath) + "\n";
    return entry;
}

namespace {

// The value of a shell assignment: double-quoted (where "\" escapes only
// $ ` " \) or bare (where "\" escapes anything). Ends at the closing quote or
// at white space.
std::string ShellValue(std::string_view text) {
    std::string value;
    if (!text.empty() && text[0] == '"') {
        for (size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size() &&
                std::string_view("$`\"\\").find(text[i + 1]) != std::string_view::npos)
                ++i;
            value += text[i];
        }
        return value;
    }
    for (size_t i = 0; i < text.size() && text[i] != ' ' && text[i] != '\t'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        value += text[i];
    }
    return value;
}

std::string ExpandHome(const std::string& value, std::string_view home) {
    for (std::string_view prefix : {"$HOME", "${HOME}"}) {
        if (value.compare(0, prefix.size(), prefix) == 0 &&
            (value.size() == prefix.size() || value[prefix.size()] == '/')) {
            if (home.empty()) return {};
            return std::string(home) + value.substr(prefix.size());
        }
    }
    return value[0] == '/' ? value : std::string();  // relative folders are not allowed
}

}  // namespace

std::string FindUserDir(std::string_view userDirsText, std::string_view key, std::string_view home) {
    std::string found;
    size_t start = 0;
    while (start < userDirsText.size()) {
        size_t end = userDirsText.find('\n', start);
        if (end == std::string_view::npos) end = userDirsText.size();
        std::string_view line = userDirsText.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
            continue;
        const std::string value = ShellValue(line.substr(key.size() + 1));
        if (value.empty()) continue;
        std::string folder = ExpandHome(value, home);
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (!folder.empty()) found = folder;  // the last valid assignment wins
    }
    return found;
}

}  // namespace desktop_entry
