#pragma once
// The commands a player types at the console front-end once the launcher is
// ready.
#include <functional>
#include <string>

enum class ConsoleCommand { kStart, kRepair, kClose, kOptions, kEmpty, kUnknown };

ConsoleCommand ParseConsoleCommand(const std::string& line);

inline constexpr const char* kConsoleHelp = "commands: start | repair | options | close";

// The video option dialog on the console; returns when the player is done.
void RunOptionsCommand(const std::function<bool(std::string& line)>& readLine,
                       const std::function<void(const std::string& text)>& writeLine);
