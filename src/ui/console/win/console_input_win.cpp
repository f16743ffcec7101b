// Console input on Windows: standard input is read by a thread of its own
// (a console, a pipe and a file all block in ReadFile, and none can be
// waited on alike) and handed to the loop with an event.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "ui/console/console_input.h"

struct ConsoleInput::Impl {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE inputEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set: bytes or the end wait
    std::atomic<bool> closeAsked{false};
    HANDLE reader = nullptr;
    std::mutex lock;
    std::string buffer;
    bool ended = false;

    void StartReader() {
        if (reader) return;
        reader = CreateThread(nullptr, 0, &Impl::ReadLoop, this, 0, nullptr);
        if (!reader) {
            std::lock_guard guard(lock);
            ended = true;
            SetEvent(inputEvent);
        }
    }

    static DWORD WINAPI ReadLoop(void* self) {
        auto* impl = static_cast<Impl*>(self);
        char chunk[4096];
        for (;;) {
            DWORD n = 0;
            const BOOL ok = ReadFile(impl->input, chunk, sizeof(chunk), &n, nullptr);
            std::lock_guard guard(impl->lock);
            if (!ok || n == 0) {
                impl->ended = true;
                SetEvent(impl->inputEvent);
                return 0;
            }
            impl->buffer.append(chunk, n);
            SetEvent(impl->inputEvent);
        }
    }
};

ConsoleInput::ConsoleInput() : m_impl(std::make_unique<Impl>()) {}

ConsoleInput::~ConsoleInput() {
    if (m_impl->reader) {
        // The reader may sit in ReadFile on a console nobody types into.
        CancelSynchronousIo(m_impl->reader);
        if (WaitForSingleObject(m_impl->reader, 2000) == WAIT_OBJECT_0) {
            CloseHandle(m_impl->reader);
        } else {
            // Still blocked: it owns the state now and ends with the process.
            (void)m_impl.release();
            return;
        }
    }
    CloseHandle(m_impl->wakeEvent);
    CloseHandle(m_impl->inputEvent);
}

bool ConsoleInput::IsTerminal() const {
    return GetFileType(m_impl->input) == FILE_TYPE_CHAR;
}

void ConsoleInput::Wake(bool close) {
    if (close) m_impl->closeAsked = true;
    SetEvent(m_impl->wakeEvent);
}

int ConsoleInput::Wait(bool input, int timeoutMs) {
    if (input) m_impl->StartReader();
    const HANDLE handles[2] = {m_impl->wakeEvent, m_impl->inputEvent};
    const DWORD r = WaitForMultipleObjects(input ? 2 : 1, handles, FALSE,
                                           timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (r == WAIT_TIMEOUT) return 0;
    if (r != WAIT_OBJECT_0 && r != WAIT_OBJECT_0 + 1) return kError;
    int result = r == WAIT_OBJECT_0 ? kWoken : kInput;
    if (input && WaitForSingleObject(m_impl->inputEvent, 0) == WAIT_OBJECT_0) result |= kInput;
    return result;
}

bool ConsoleInput::DrainWakes() {
    ResetEvent(m_impl->wakeEvent);
    return m_impl->closeAsked.exchange(false);
}

int64_t ConsoleInput::Read(char* out, size_t size) {
    m_impl->StartReader();
    WaitForSingleObject(m_impl->inputEvent, INFINITE);
    std::lock_guard guard(m_impl->lock);
    if (m_impl->buffer.empty()) return m_impl->ended ? 0 : -1;
    const size_t n = std::min(size, m_impl->buffer.size());
    std::memcpy(out, m_impl->buffer.data(), n);
    m_impl->buffer.erase(0, n);
    if (m_impl->buffer.empty() && !m_impl->ended) ResetEvent(m_impl->inputEvent);
    return static_cast<int64_t>(n);
}

bool PrepareConsoleOutput(FILE* stream) {
    const HANDLE h = stream == stdout ? GetStdHandle(STD_OUTPUT_HANDLE) : GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(h, &mode)) return false;
    SetConsoleOutputCP(CP_UTF8);
    // Without terminal sequences (before Windows 10) the status goes line by
    // line, as off a terminal.
    return SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

namespace {
void (*g_onClose)() = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (g_onClose) g_onClose();
            // A closed console window ends the process when this returns:
            // give the loop a moment to close the launcher as asked.
            if (event == CTRL_CLOSE_EVENT) Sleep(3000);
            return TRUE;
        default:
            return FALSE;
    }
}
}  // namespace

void WatchCloseRequests(void (*onClose)()) {
    g_onClose = onClose;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void ConnectConsole() {
    const HANDLE given = GetStdHandle(STD_ERROR_HANDLE);
    if (given && given != INVALID_HANDLE_VALUE) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole()) return;
    // The C streams and the standard handles were set up without a
    // console; they follow the new one.
    const struct {
        std::FILE* stream;
        DWORD id;
        const wchar_t* device;
    } streams[] = {{stdin, STD_INPUT_HANDLE, L"CONIN$"},
                   {stdout, STD_OUTPUT_HANDLE, L"CONOUT$"},
                   {stderr, STD_ERROR_HANDLE, L"CONOUT$"}};
    for (const auto& s : streams) {
        std::FILE* reopened = nullptr;
        _wfreopen_s(&reopened, s.device, s.stream == stdin ? L"r" : L"w", s.stream);
        SetStdHandle(s.id, CreateFileW(s.device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    }
}

void GuardStandardStreams() {
    // Windows hands out no small numbers for new handles: nothing to guard.
}
