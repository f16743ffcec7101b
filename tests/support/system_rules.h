#pragma once
// Where the systems' rules differ for what a test meets; one answer per OS
// in support/<os>/.
#include <string>

// Whether a file name may hold '?' (Windows reserves it, with : * " < > |).
bool NamesMayHoldQuestionMarks();
// Whether a name may be bytes that read as no text (Linux); Windows keeps
// its names as UTF-16 text.
bool NamesMayBeRawBytes();
// What the stand-in client records for `parameters`, a line per argument:
// Linux hands them over as one argument; on Windows they are a command line,
// which the program splits (an empty one gives none).
std::string ArgumentsAsReceived(const std::string& parameters);
// Whether the test has no ended child left to reap (Windows keeps none).
bool NoChildLeftToReap();
// How long a cancelled FTP upload may take to end: curl leaves at once;
// a WinINet write cannot be interrupted and returns once the socket takes
// its piece, which a throttled server may hold back for seconds.
int CancelledUploadEndsWithinMs();
