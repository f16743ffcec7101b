#pragma once
// Picks the front-end and runs the launcher; returns the process exit status:
// 1 when another launcher runs, 0 after a run without an error report,
// 2 after one.
int RunLauncher(int argc, char** argv);
