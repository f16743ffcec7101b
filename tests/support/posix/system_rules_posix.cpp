#include "support/system_rules.h"

#include <sys/wait.h>

#include <cerrno>

bool NamesMayHoldQuestionMarks() { return true; }
bool NamesMayBeRawBytes() { return true; }
std::string ArgumentsAsReceived(const std::string& parameters) { return parameters + "\n"; }
bool NoChildLeftToReap() { return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

int CancelledUploadEndsWithinMs() { return 2000; }
