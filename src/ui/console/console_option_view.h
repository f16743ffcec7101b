#pragma once
// The video option dialog on the console: the offered modes with their list
// indexes, the three screen modes and the current choice, driven by typed
// lines ("mode 0|1|2", "resolution <index>", "ok", "cancel").
#include <functional>
#include <string>
#include <vector>

#include "launcher/options/option_dialog_view.h"
#include "os/display_modes.h"

// Holds the controls' state as a window would and prints nothing itself.
class ConsoleOptionView : public OptionDialogView {
public:
    void EnableControl(int id, bool enable) override;
    void SetRadioChecked(int id, bool checked) override;
    int GetCheckedRadioIndex() const override { return m_checkedRadio; }
    void InsertListItem(int index, const std::wstring& text) override;
    void SetListSelection(int index) override;
    int GetListSelection() const override { return m_selection; }
    void InvalidateControl(int id, bool erase) override {}
    void Close() override { m_closed = true; }

    bool IsEnabled(int id) const;
    bool IsClosed() const { return m_closed; }
    const std::vector<std::wstring>& Items() const { return m_items; }

private:
    std::vector<int> m_disabled;
    std::vector<std::wstring> m_items;
    int m_checkedRadio = -1;
    int m_selection = -1;
    bool m_closed = false;
};

// Runs the dialog until "ok", "cancel" or the end of input (= cancel).
// `readLine` gives false at the end of input.
void RunConsoleOptionDialog(const std::function<bool(std::string& line)>& readLine,
                            const std::function<void(const std::string& text)>& writeLine);
// The same with a given mode source.
void RunConsoleOptionDialog(const std::function<bool(std::string& line)>& readLine,
                            const std::function<void(const std::string& text)>& writeLine,
                            DisplayModeSource& modeSource);
