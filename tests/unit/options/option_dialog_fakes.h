#pragma once
// A recording view and a scripted mode source for the video option dialog.
#include <map>
#include <string>
#include <vector>

#include "launcher/options/option_dialog_view.h"
#include "os/display_modes.h"

class RecordingOptionView : public OptionDialogView {
public:
    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    void SetRadioChecked(int id, bool isChecked) override { checked[id] = isChecked; }
    int GetCheckedRadioIndex() const override {
        for (int i = 0; i < 3; ++i) {
            auto it = checked.find(IDC_RADIO_FULLSCREEN + i);
            if (it != checked.end() && it->second) return i;
        }
        return -1;
    }
    void InsertListItem(int index, const std::wstring& text) override {
        items.insert(items.begin() + index, text);
    }
    void SetListSelection(int index) override { selection = index; }
    int GetListSelection() const override { return selection; }
    void InvalidateControl(int id, bool erase) override { invalidated.push_back(id); }
    void Close() override { ++closes; }

    // A click on an automatic radio button checks it and clears the others.
    void ClickRadio(int id) {
        for (int i = 0; i < 3; ++i) checked[IDC_RADIO_FULLSCREEN + i] = (IDC_RADIO_FULLSCREEN + i == id);
    }
    bool IsEnabled(int id) const {
        auto it = enabled.find(id);
        return it == enabled.end() || it->second;
    }

    std::map<int, bool> enabled;
    std::map<int, bool> checked;
    std::vector<std::wstring> items;
    std::vector<int> invalidated;
    int selection = -1;
    int closes = 0;
};

class FakeModeSource : public DisplayModeSource {
public:
    FakeModeSource(std::vector<DisplayMode> modes, bool answers = true)
        : m_modes(std::move(modes)), m_answers(answers) {}
    bool GetModes(std::vector<DisplayMode>& modes) override {
        modes = m_answers ? m_modes : std::vector<DisplayMode>{};
        return m_answers;
    }

private:
    std::vector<DisplayMode> m_modes;
    bool m_answers;
};
