#include "ui/console/console_commands.h"

#include <cctype>

#include "ui/console/console_option_view.h"

ConsoleCommand ParseConsoleCommand(const std::string& line) {
    size_t begin = 0, end = line.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(line[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
    const std::string word = line.substr(begin, end - begin);
    if (word.empty()) return ConsoleCommand::kEmpty;
    if (word == "start") return ConsoleCommand::kStart;
    if (word == "repair") return ConsoleCommand::kRepair;
    if (word == "close") return ConsoleCommand::kClose;
    if (word == "options") return ConsoleCommand::kOptions;
    return ConsoleCommand::kUnknown;
}

void RunOptionsCommand(const std::function<bool(std::string& line)>& readLine,
                       const std::function<void(const std::string& text)>& writeLine) {
    RunConsoleOptionDialog(readLine, writeLine);
}
