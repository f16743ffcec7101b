#pragma once
// The launcher's icon, a 64x64 PNG built into the executable.
#include <string_view>

std::string_view LauncherIconPng();
