#pragma once
// On Windows the launcher's result codes and structures are the system's own.
#include <windows.h>

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
