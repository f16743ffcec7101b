#pragma once
// The time column of a Unix-style FTP listing ("Dec  7 15:20" for the last
// half year, "Dec  7  2025" before) as a calendar time (UTC); 0 when it
// cannot be read.
#include <ctime>
#include <string>

time_t ParseListTime(const std::string& text, time_t now);
