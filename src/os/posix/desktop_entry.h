#pragma once
// Desktop entries and the XDG user-folder file: the text rules, apart from the
// file system so that they can be checked on their own.
#include <string>
#include <string_view>

namespace desktop_entry {

// One Exec= argument, double-quoted and escaped so that a launcher passes
// exactly `argument` to the program (spaces, quotes, "$", "%", "\" included).
std::string QuoteExecArgument(std::string_view argument);

// A string value (Name=, Icon=) with "\", newlines, tabs and CRs escaped.
std::string EscapeValue(std::string_view value);

// The whole [Desktop Entry] that starts `executable` without arguments and
// shows `iconPath` (left out when empty).
std::string MakeApplicationEntry(std::string_view executable, std::string_view iconPath);

// The folder that a user-dirs.dirs text assigns to `key` (for example
// "XDG_DESKTOP_DIR"), "$HOME" expanded to `home` and without a trailing "/".
// Empty when the key is missing or its value is neither "$HOME/..." nor an
// absolute path, as the format requires.
std::string FindUserDir(std::string_view userDirsText, std::string_view key, std::string_view home);

}  // namespace desktop_entry
