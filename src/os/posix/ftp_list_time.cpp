#include "os/posix/ftp_list_time.h"

#include <cstring>

time_t ParseListTime(const std::string& text, time_t now) {
    struct tm when {};
    const char* rest = strptime(text.c_str(), "%b %d %H:%M", &when);
    const bool hasYear = !rest || *rest;
    if (hasYear) {
        when = tm{};
        rest = strptime(text.c_str(), "%b %d %Y", &when);
        if (!rest || *rest) return 0;
    } else {
        // Without a year the entry is from the last twelve months.
        struct tm today {};
        gmtime_r(&now, &today);
        when.tm_year = today.tm_year;
        if (timegm(&when) > now + 24 * 3600) --when.tm_year;
    }
    return timegm(&when);
}
