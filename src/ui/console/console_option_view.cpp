#include "ui/console/console_option_view.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "util/text_util.h"
#include "launcher/options/option_dialog.h"

namespace {

constexpr int kRadioIds[] = {IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW};
constexpr const char* kRadioTexts[] = {"Fullscreen", "Windowed fullscreen", "Window"};
constexpr const char* kHelp = "Type: mode 0|1|2, resolution <index>, ok or cancel.";

// A whole non-negative decimal number, nothing else.
bool ParseIndex(const std::string& text, int& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 0;
}

std::string CurrentChoice(const ConsoleOptionView& view, const COptionDialog& dialog) {
    std::string out = "Current: ";
    const int radio = view.GetCheckedRadioIndex();
    out += radio >= 0 ? kRadioTexts[radio] : "no screen mode";
    out += ", ";
    const int sel = view.GetListSelection();
    if (sel >= 0 && sel < static_cast<int>(view.Items().size())) {
        out += "[" + std::to_string(sel) + "] " + text::ToUtf8(view.Items()[sel]);
    } else {
        const auto& options = dialog.Options();
        out += std::to_string(options.ScreenWidth) + " x " + std::to_string(options.ScreenHeight) +
               " (not in the list)";
    }
    return out;
}

void ShowDialog(const ConsoleOptionView& view, const COptionDialog& dialog,
                const std::function<void(const std::string&)>& writeLine) {
    writeLine("Video option");
    writeLine(view.IsEnabled(IDC_LIST_RESOLUTION) ? "Resolution:" : "Resolution (disabled):");
    if (view.Items().empty()) writeLine("  (no resolution offered)");
    for (size_t i = 0; i < view.Items().size(); ++i) {
        const bool selected = static_cast<int>(i) == view.GetListSelection();
        writeLine((selected ? "* [" : "  [") + std::to_string(i) + "] " + text::ToUtf8(view.Items()[i]));
    }
    writeLine("Screen mode:");
    for (int i = 0; i < 3; ++i) {
        std::string line = view.GetCheckedRadioIndex() == i ? "* " : "  ";
        line += std::to_string(i) + " " + kRadioTexts[i];
        if (!view.IsEnabled(kRadioIds[i])) line += " (disabled)";
        writeLine(line);
    }
    writeLine(CurrentChoice(view, dialog));
    writeLine(kHelp);
}

}  // namespace

void ConsoleOptionView::EnableControl(int id, bool enable) {
    auto it = std::find(m_disabled.begin(), m_disabled.end(), id);
    if (enable && it != m_disabled.end()) m_disabled.erase(it);
    if (!enable && it == m_disabled.end()) m_disabled.push_back(id);
}

bool ConsoleOptionView::IsEnabled(int id) const {
    return std::find(m_disabled.begin(), m_disabled.end(), id) == m_disabled.end();
}

void ConsoleOptionView::SetRadioChecked(int id, bool checked) {
    for (int i = 0; i < 3; ++i) {
        if (kRadioIds[i] != id) continue;
        if (checked)
            m_checkedRadio = i;
        else if (m_checkedRadio == i)
            m_checkedRadio = -1;
    }
}

void ConsoleOptionView::InsertListItem(int index, const std::wstring& text) {
    index = std::clamp(index, 0, static_cast<int>(m_items.size()));
    m_items.insert(m_items.begin() + index, text);
}

void ConsoleOptionView::SetListSelection(int index) {
    m_selection = index >= 0 && index < static_cast<int>(m_items.size()) ? index : -1;
}

void RunConsoleOptionDialog(const std::function<bool(std::string& line)>& readLine,
                            const std::function<void(const std::string& text)>& writeLine) {
    auto source = DisplayModeSource::Create();
    RunConsoleOptionDialog(readLine, writeLine, *source);
}

void RunConsoleOptionDialog(const std::function<bool(std::string& line)>& readLine,
                            const std::function<void(const std::string& text)>& writeLine,
                            DisplayModeSource& modeSource) {
    ConsoleOptionView view;
    COptionDialog dialog(view, modeSource);
    const bool loaded = dialog.OnInitDialog();
    if (!loaded) writeLine("The game options could not be loaded; nothing can be chosen.");
    ShowDialog(view, dialog, writeLine);

    std::string line;
    while (!view.IsClosed()) {
        if (!readLine(line)) {
            dialog.OnBnClickedButtonCancel();
            writeLine("Cancelled: nothing saved.");
            break;
        }
        std::istringstream words(line);
        std::string command, argument, extra;
        words >> command >> argument >> extra;
        int index = -1;
        if (command == "ok" && argument.empty()) {
            dialog.OnBnClickedButtonOk();
            writeLine(loaded ? "Saved." : "Nothing saved: the options could not be loaded.");
        } else if (command == "cancel" && argument.empty()) {
            dialog.OnBnClickedButtonCancel();
            writeLine("Cancelled: nothing saved.");
        } else if (command == "mode" && extra.empty() && ParseIndex(argument, index) && index < 3) {
            if (!view.IsEnabled(kRadioIds[index])) {
                writeLine("Screen mode choice is disabled.");
                continue;
            }
            // An automatic radio button: clicking checks it and clears the others.
            view.SetRadioChecked(kRadioIds[index], true);
            dialog.OnBnClickedRadio(kRadioIds[index]);
            writeLine(CurrentChoice(view, dialog) +
                      (view.IsEnabled(IDC_LIST_RESOLUTION) ? "" : " (resolution choice disabled)"));
        } else if (command == "resolution" && extra.empty() && ParseIndex(argument, index)) {
            if (!view.IsEnabled(IDC_LIST_RESOLUTION)) {
                writeLine("Resolution choice is disabled.");
            } else if (index >= static_cast<int>(view.Items().size())) {
                writeLine("No resolution has the index " + argument + ".");
            } else {
                view.SetListSelection(index);
                dialog.OnLbnSelchangeListResolution();
                writeLine(CurrentChoice(view, dialog));
            }
        } else if (command.empty()) {
            continue;
        } else {
            writeLine(kHelp);
        }
    }
}
