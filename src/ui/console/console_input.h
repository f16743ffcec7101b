#pragma once
// The console's standard input and the wake-ups of its loop, one
// implementation per system: on POSIX a poll over standard input and a
// self-pipe; on Windows a thread that reads standard input and hands it
// over with an event, and a second event for wake-ups.
#include <cstdint>
#include <cstdio>
#include <memory>

class ConsoleInput {
public:
    ConsoleInput();  // the process's standard input
    ~ConsoleInput();
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    bool IsTerminal() const;
    // Wakes Wait, from any thread (on POSIX also from a signal handler). A
    // `close` wake-up is remembered until DrainWakes reports it.
    void Wake(bool close);
    // Bits of Wait's result; 0 when the time ran out (or a signal came).
    enum : int { kWoken = 1, kInput = 2, kError = 4 };
    // Waits for a wake-up, for input too when `input`, at most `timeoutMs`
    // (-1: no limit).
    int Wait(bool input, int timeoutMs);
    // Takes the wake-ups; true when one of them asked to close.
    bool DrainWakes();
    // Input as it comes: bytes, 0 at its end (or on a failure), -1 for a
    // passing failure to try again.
    int64_t Read(char* buffer, size_t size);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Whether `stream` is a terminal (a console window on Windows); prepares a
// console for UTF-8 text and the "\r\033[K" that redraws a status line.
bool PrepareConsoleOutput(FILE* stream);
// Calls `onClose` when the user or the system asks the program to end
// (Ctrl+C, a closed terminal or console window, SIGTERM); from a signal
// handler or the console's control thread, so it may only wake the loop.
// A broken output pipe does not end the program.
void WatchCloseRequests(void (*onClose)());
// Gives the console front-end a console where the program has none (a
// windowing program started from the desktop on Windows): its starter's, or
// one of its own. Streams given by the starter are kept.
void ConnectConsole();
// Standard streams that are closed get a null device, so that the next file
// opened never takes their place.
void GuardStandardStreams();
