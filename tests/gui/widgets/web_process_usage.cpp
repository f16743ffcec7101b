#include "web_process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

struct ProcessFacts {
    int parent = 0;
    std::string name;
    long rssKb = 0;
};

ProcessFacts ReadStatus(const std::filesystem::path& dir) {
    ProcessFacts facts;
    std::ifstream status(dir / "status");
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "Name:") words >> facts.name;
        if (key == "PPid:") words >> facts.parent;
        if (key == "VmRSS:") words >> facts.rssKb;
    }
    return facts;
}

}  // namespace

WebProcessUsage MeasureWebProcesses() {
    std::map<int, ProcessFacts> all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        all[std::stoi(name)] = ReadStatus(entry.path());
    }
    WebProcessUsage usage;
    const int self = getpid();
    usage.hostRssKb = all[self].rssKb;
    // Descendants, through whatever sandbox launcher stands between.
    std::set<int> below{self};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, facts] : all) {
            if (below.count(facts.parent) && below.insert(pid).second) grew = true;
        }
    }
    for (int pid : below) {
        if (pid != self && all[pid].name.rfind("WebKit", 0) == 0) {
            ++usage.processes;
            usage.rssKb += all[pid].rssKb;
        }
    }
    return usage;
}
