#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "base/process_facts.h"

namespace fsys {

long CurrentThreadId() {
    return static_cast<long>(gettid());
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string SystemErrorText(int error) {
    char buf[512];
    // GNU strerror_r returns the text, possibly not in buf.
    return strerror_r(error, buf, sizeof(buf));
}

bool IsNoSpaceError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

void BreakIntoDebugger() {
    std::raise(SIGTRAP);
}

}  // namespace fsys
