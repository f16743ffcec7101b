#include "ui/console/console_view.h"

#include <optional>

#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/status_text.h"
#include "ui/console/console_commands.h"

namespace {
// Off a terminal a log reader wants a few lines a second at most.
constexpr auto kPlainRenderInterval = std::chrono::milliseconds(300);
constexpr auto kTerminalRenderInterval = std::chrono::milliseconds(100);
}  // namespace

ConsoleView::ConsoleView(FILE* out)
    : m_out(out),
      m_inputIsTerminal(m_input.IsTerminal()),
      m_outputIsTerminal(PrepareConsoleOutput(out)),
      m_uiThread(std::this_thread::get_id()) {}

ConsoleView::~ConsoleView() = default;

void ConsoleView::Wake() {
    m_input.Wake(false);
}

void ConsoleView::WakeForClose() {
    m_input.Wake(true);
}

bool ConsoleView::ErrorShown() const {
    std::lock_guard lock(m_lock);
    return m_errorShown;
}

void ConsoleView::ShowBoxHere(const std::wstring& text) {
    if (m_outputIsTerminal) std::fputs("\r\033[K", m_out);
    std::fputs(text::ToUtf8(text).c_str(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lastStatus.clear();
    if (m_inputIsTerminal) {
        std::fputs("[press Enter]", m_out);
        std::fflush(m_out);
        std::string ignored;
        ReadLine(ignored);
    }
}

void ConsoleView::ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned) {
    {
        std::lock_guard lock(m_lock);
        m_errorShown = true;
    }
    if (std::this_thread::get_id() == m_uiThread) {
        ShowBoxHere(text);
        return;
    }
    // The worker's boxes are shown by the loop's thread, which alone reads
    // the terminal; the worker waits for the answer as it would for a box.
    BoxRequest request{text};
    std::unique_lock lock(m_lock);
    if (m_closing) {
        std::fputs((text::ToUtf8(text) + "\n").c_str(), m_out);
        return;
    }
    m_boxes.push_back(&request);
    Wake();
    m_boxAnswered.wait(lock, [&] { return request.done; });
}

void ConsoleView::InvalidateRect(const RECT*, bool) {
    std::lock_guard lock(m_lock);
    if (!m_statusDirty) {
        m_statusDirty = true;
        Wake();
    }
}

void ConsoleView::SetButtonsEnabled(bool enabled) {
    std::lock_guard lock(m_lock);
    m_buttonsEnabled = enabled;
    m_statusDirty = true;
    Wake();
}

void ConsoleView::SetTimer(int id, unsigned periodMs) {
    std::lock_guard lock(m_lock);
    m_timers[id] = {periodMs, Clock::now() + std::chrono::milliseconds(periodMs)};
    Wake();
}

void ConsoleView::KillTimer(int id) {
    std::lock_guard lock(m_lock);
    m_timers.erase(id);
}

void ConsoleView::UpdateWindowNow() {
    if (std::this_thread::get_id() == m_uiThread) RenderStatus(false);
}

void ConsoleView::PostClose() {
    std::lock_guard lock(m_lock);
    m_closeRequested = true;
    Wake();
}

bool ConsoleView::HasPendingInput() const {
    return m_inputEnded || m_inputBuffer.find('\n') != std::string::npos;
}

bool ConsoleView::WaitForInput() {
    for (;;) {
        const int ready = m_input.Wait(true, -1);
        if (ready & ConsoleInput::kError) return true;  // let the read tell what is wrong
        if (ready & ConsoleInput::kWoken) {
            DrainWakes();
            // Other wake-ups stay noted in their flags for the loop.
            if (m_closeSignalled) return false;
            std::lock_guard lock(m_lock);
            if (m_closeRequested) return false;
        }
        if (ready & ConsoleInput::kInput) return true;
    }
}

void ConsoleView::DrainWakes() {
    if (m_input.DrainWakes()) m_closeSignalled = true;
}

bool ConsoleView::ReadLine(std::string& line) {
    for (;;) {
        size_t nl = m_inputBuffer.find('\n');
        if (nl != std::string::npos) {
            line = m_inputBuffer.substr(0, nl);
            m_inputBuffer.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        if (m_inputEnded) {
            if (m_inputBuffer.empty()) return false;
            line.swap(m_inputBuffer);
            m_inputBuffer.clear();
            return true;
        }
        // A close (a signal, the worker's end) must not wait for a line the
        // player may never type.
        if (!WaitForInput()) return false;
        char buf[4096];
        const int64_t n = m_input.Read(buf, sizeof(buf));
        if (n < 0) continue;
        if (n == 0) {
            m_inputEnded = true;
            continue;
        }
        m_inputBuffer.append(buf, static_cast<size_t>(n));
    }
}

ConsoleView::Clock::duration ConsoleView::RenderInterval() const {
    return m_outputIsTerminal ? kTerminalRenderInterval : kPlainRenderInterval;
}

void ConsoleView::RenderStatus(bool force) {
    if (!m_dlg) return;
    const auto now = Clock::now();
    if (!force && now - m_lastRender < RenderInterval()) return;
    {
        std::lock_guard lock(m_lock);
        m_statusDirty = false;
    }
    const LauncherStatusSnapshot snapshot = m_dlg->GetStatusSnapshot();
    const StatusText status = ComposeStatusText(snapshot);
    std::wstring line = status.readyText;
    if (line.empty()) {
        line = status.line1;
        if (!status.line2.empty()) line += (line.empty() ? L"" : L"  ") + status.line2;
        if (status.showBars && snapshot.fileSize > 0 && snapshot.state == STATE_UPDATE_FILES) {
            line += text::FormatW(L"  [%u%%]", static_cast<unsigned>(100.0 * snapshot.fileRecv /
                                                                     static_cast<double>(snapshot.fileSize)));
        }
    }
    if (line.empty() || line == m_lastStatus) return;
    m_lastStatus = line;
    m_lastRender = now;
    if (m_outputIsTerminal) {
        std::fprintf(m_out, "\r\033[K%s", text::ToUtf8(line).c_str());
        if (!status.readyText.empty()) std::fputc('\n', m_out);
    } else {
        std::fprintf(m_out, "%s\n", text::ToUtf8(line).c_str());
    }
    std::fflush(m_out);
}

int ConsoleView::NextTimeoutMs() {
    // Nothing due means no time-out at all: an idle console sleeps until a
    // line, a wake-up or a signal comes.
    std::lock_guard lock(m_lock);
    std::optional<Clock::time_point> next;
    if (m_statusDirty) next = m_lastRender + RenderInterval();
    for (const auto& [id, timer] : m_timers) next = next ? std::min(*next, timer.second) : timer.second;
    if (!next) return -1;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms) + 1;
}

void ConsoleView::RunDueTimers() {
    std::vector<int> due;
    {
        std::lock_guard lock(m_lock);
        const auto now = Clock::now();
        for (auto& [id, timer] : m_timers) {
            if (timer.second <= now) {
                due.push_back(id);
                timer.second = now + std::chrono::milliseconds(timer.first);
            }
        }
    }
    for (int id : due) {
        if (m_dlg) m_dlg->OnTimer(id);
    }
}

bool ConsoleView::HandleInputLine() {
    std::string line;
    if (!ReadLine(line)) return false;  // end of input closes the launcher
    if (ParseConsoleCommand(line) == ConsoleCommand::kClose) return false;
    HandleCommand(line);
    return true;
}

void ConsoleView::RunLoop() {
    for (;;) {
        BoxRequest* box = nullptr;
        bool close, dirty, acceptInput;
        {
            std::lock_guard lock(m_lock);
            if (!m_boxes.empty()) {
                box = m_boxes.front();
                m_boxes.pop_front();
            }
            close = m_closeRequested || m_closeSignalled;
            dirty = m_statusDirty;
            acceptInput = m_buttonsEnabled;
        }
        if (box) {
            ShowBoxHere(box->text);
            std::lock_guard lock(m_lock);
            box->done = true;
            m_boxAnswered.notify_all();
            continue;
        }
        if (close) break;
        if (dirty) RenderStatus(false);
        RunDueTimers();
        // Lines that came with an earlier read are handled before waiting:
        // the descriptor may stay quiet after the last of them.
        if (acceptInput && HasPendingInput()) {
            if (!HandleInputLine()) break;
            continue;
        }

        const int ready = m_input.Wait(acceptInput, NextTimeoutMs());
        if (ready & ConsoleInput::kError) break;
        if (ready & ConsoleInput::kWoken) DrainWakes();
        if (ready & ConsoleInput::kInput) {
            if (!HandleInputLine()) break;
        }
    }
    std::lock_guard lock(m_lock);
    m_closing = true;
    // Boxes still waiting are answered: the window is going away.
    for (BoxRequest* box : m_boxes) {
        std::fputs((text::ToUtf8(box->text) + "\n").c_str(), m_out);
        box->done = true;
    }
    m_boxes.clear();
    m_boxAnswered.notify_all();
}

void ConsoleView::HandleCommand(const std::string& line) {
    if (!m_dlg) return;
    RenderStatus(true);
    ConsoleCommand command = ParseConsoleCommand(line);
    switch (command) {
        case ConsoleCommand::kStart:
            m_dlg->OnBnClickedButtonStart();
            break;
        case ConsoleCommand::kRepair:
            m_dlg->OnBnClickedButtonRepair();
            break;
        case ConsoleCommand::kClose:
            break;  // the loop closes
        case ConsoleCommand::kOptions:
            RunOptionsCommand([this](std::string& l) { return ReadLine(l); },
                              [this](const std::string& t) {
                                  std::fprintf(m_out, "%s\n", t.c_str());
                                  std::fflush(m_out);
                              });
            break;
        case ConsoleCommand::kEmpty:
            break;
        case ConsoleCommand::kUnknown:
            std::fprintf(m_out, "%s\n", kConsoleHelp);
            std::fflush(m_out);
            break;
    }
    m_lastStatus.clear();
}
