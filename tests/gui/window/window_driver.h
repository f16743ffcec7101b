#pragma once
// What the window scenarios need of a desktop, per system: the launcher's
// window found and read back from the screen (not from its own drawing),
// real pointer input, its options dialog and its message boxes.
// posix/: an Xvfb desktop, xdotool, AT-SPI. win/: Win32 calls under Wine on
// its private X display, with a solid window below the launcher.
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ChildProcess;

struct Area {
    int left, top, right, bottom;
};

// Pixels as 0xRRGGBB, row by row: a skin bitmap, or the screen over the window.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Points of `colour` inside `r`.
    int Count(const Area& r, uint32_t colour) const {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) count += At(x, y) == colour;
        return count;
    }
};

// A message box of the launcher: one "label\t<text>" or "button\t<text>"
// line per control (line ends in texts as \n), and what tells two boxes apart.
struct BoxView {
    std::string controls, identity;
};

class WindowDriver {
public:
    enum Pointer { kMove, kDown, kUp };

    WindowDriver();
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // Waits for the main window of `launcher` (its title in `title`) and
    // parks the pointer off it.
    bool WaitForWindow(const ChildProcess& launcher);
    // The window's place on the screen, read again; client points follow it.
    Area Place();
    // Identifies the window under screen point (x, y); `below` where nothing
    // of the launcher's window is.
    std::string WindowAt(int x, int y) const;
    // Clicks that reached the window below; not available on every desktop.
    std::optional<int> ClicksBelow() const;
    // The notice page's place in the client, where the desktop can tell.
    std::optional<Area> NoticePlace() const;

    Picture Capture() const;
    static Picture Skin(int id);
    // The pointer to client point (x, y), then each button event there.
    void Mouse(int x, int y, std::initializer_list<Pointer> events) const;

    // The options dialog shows, owned by the window and blocking it.
    bool OptionsShown();
    // Cancels it; whether it went away and gave the window back.
    bool CloseOptions();
    // The launcher's message box within `timeoutMs`; empty controls when none.
    BoxView Box(int timeoutMs) const;
    void AnswerBox() const;
    // Asks the launcher to end as its desktop would (session end, or a close).
    void AskToClose(ChildProcess& launcher) const;

    // What the desktop is, once constructed (`below` once a window was found).
    std::string error;                       // why it cannot be used; empty when it can
    std::map<std::string, std::string> env;  // additions for a program on it
    Area workArea;                           // where a window is centred
    std::string title, below;                // the window's title, the window below it
    uint32_t belowColour = 0;                // what the screen shows there
    bool canDrag = false;                    // a press and move on the surface moves the window

private:
    struct State;
    std::unique_ptr<State> m;
};
