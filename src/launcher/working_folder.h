#pragma once
// The launcher works in its install folder: the option files, the diagnostic
// log and crash dumps are named relative to the current folder, and a player
// may start it from anywhere (a shortcut, a terminal).
#include <string>

// The folder of the running executable with a trailing "/"; empty when the
// system cannot tell.
std::wstring ExecutableFolder();
// Makes that folder current. False when it cannot.
bool EnterExecutableFolder();
