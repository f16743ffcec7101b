// The crash prompt on Linux. GTK is loaded on first use, as the box is the
// only window a crash shows and the helper needs nothing else of it.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/text_util.h"
#include "services/crash/crash_prompt.h"

namespace {

bool HasValue(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// 0 when GTK cannot be loaded or no display opens.
int AskWithGtkBox(const std::string& caption, const std::string& text) {
    if (!HasValue("DISPLAY") && !HasValue("WAYLAND_DISPLAY")) return 0;
    void* gtk = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!gtk) return 0;
    using InitCheck = int (*)(int*, char***);
    using DialogNew = void* (*)(void*, int, int, int, const char*, ...);
    using SetTitle = void (*)(void*, const char*);
    using SetFlag = void (*)(void*, int);
    using Run = int (*)(void*);
    using Destroy = void (*)(void*);
    using Pending = int (*)();
    using Iterate = int (*)();
    auto initCheck = reinterpret_cast<InitCheck>(dlsym(gtk, "gtk_init_check"));
    auto dialogNew = reinterpret_cast<DialogNew>(dlsym(gtk, "gtk_message_dialog_new"));
    auto setTitle = reinterpret_cast<SetTitle>(dlsym(gtk, "gtk_window_set_title"));
    auto keepAbove = reinterpret_cast<SetFlag>(dlsym(gtk, "gtk_window_set_keep_above"));
    auto setPosition = reinterpret_cast<SetFlag>(dlsym(gtk, "gtk_window_set_position"));
    auto run = reinterpret_cast<Run>(dlsym(gtk, "gtk_dialog_run"));
    auto destroy = reinterpret_cast<Destroy>(dlsym(gtk, "gtk_widget_destroy"));
    auto pending = reinterpret_cast<Pending>(dlsym(gtk, "gtk_events_pending"));
    auto iterate = reinterpret_cast<Iterate>(dlsym(gtk, "gtk_main_iteration"));
    if (!initCheck || !dialogNew || !setTitle || !keepAbove || !setPosition || !run || !destroy || !pending ||
        !iterate || !initCheck(nullptr, nullptr))
        return 0;
    constexpr int kModal = 1, kMessageOther = 4, kButtonsYesNo = 4, kResponseYes = -8, kCenter = 1;
    void* box = dialogNew(nullptr, kModal, kMessageOther, kButtonsYesNo, "%s", text.c_str());
    if (!box) return 0;
    setTitle(box, caption.c_str());
    keepAbove(box, 1);
    setPosition(box, kCenter);
    const int response = run(box);
    destroy(box);
    while (pending()) iterate();
    // Closing the box is no Yes.
    return response == kResponseYes ? kCrashPromptYes : kCrashPromptNo;
}

// The controlling terminal, not standard input: a front-end may read
// commands there. 0 without a terminal.
int AskOnTerminal(const std::string& caption, const std::string& text) {
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return 0;
    const std::string question = "\n" + caption + "\n" + text + " [y/n] ";
    (void)!write(tty, question.data(), question.size());
    std::string answer;
    char c;
    while (read(tty, &c, 1) == 1 && c != '\n') answer += c;
    close(tty);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y') ? kCrashPromptYes : kCrashPromptNo;
}

}  // namespace

int ShowCrashPrompt(const std::wstring& caption, const std::wstring& text) {
    if (const char* scripted = std::getenv("QUON_CRASH_PROMPT_ANSWER")) {
        if (std::strcmp(scripted, "yes") == 0) return kCrashPromptYes;
        if (std::strcmp(scripted, "no") == 0) return kCrashPromptNo;
    }
    const std::string caption8 = text::ToUtf8(caption), text8 = text::ToUtf8(text);
    if (const int answer = AskWithGtkBox(caption8, text8)) return answer;
    return AskOnTerminal(caption8, text8);
}
