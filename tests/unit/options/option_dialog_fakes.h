#pragma once
// The video option dialog in process, for the model and each front-end: the
// option files in a current folder of its own (message boxes recorded and
// answered with Ignore), a recording view and a scripted mode source.
#include "support/test_common.h"

#include <boost/property_tree/json_parser.hpp>

#include "util/custom_assert.h"
#include "launcher/options/option_dialog_view.h"
#include "os/display_modes.h"

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path().empty() ? "." : file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// A defaults file of `version` whose GameOptionDefault holds `members` (JSON members without braces).
inline std::string DefaultsJson(int version, const std::string& members) {
    return "{\"GameOptionVersion\": \"" + std::to_string(version) + "\", \"GameOptionDefault\": {" + members +
           "}}";
}

// Modes in the adapter's order: unsorted, one size at three rates, sizes the
// dialog does not offer. Offered, in this order: 1920 x 1080, 1600 x 1024,
// 2560 x 1080, 1024 x 768.
inline const std::vector<DisplayMode> kModes = {{800, 600, 60},    {1920, 1080, 60}, {1600, 1024, 60},
                                                {1920, 1080, 75},  {3840, 2160, 60}, {2560, 1080, 60},
                                                {1920, 1080, 120}, {1024, 768, 60},  {1600, 1024, 75}};

class FakeModeSource : public DisplayModeSource {
public:
    explicit FakeModeSource(std::vector<DisplayMode> modes, bool answers = true)
        : m_modes(std::move(modes)), m_answers(answers) {}
    bool GetModes(std::vector<DisplayMode>& modes) override {
        modes = m_answers ? m_modes : std::vector<DisplayMode>{};
        return m_answers;
    }

private:
    std::vector<DisplayMode> m_modes;
    bool m_answers;
};

class RecordingOptionView : public OptionDialogView {
public:
    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    void SetRadioChecked(int id, bool isChecked) override { checked[id] = isChecked; }
    int GetCheckedRadioIndex() const override {
        for (int i = 0; i < 3; ++i)
            if (checked.count(IDC_RADIO_FULLSCREEN + i) && checked.at(IDC_RADIO_FULLSCREEN + i)) return i;
        return -1;
    }
    void InsertListItem(int index, const std::wstring& text) override {
        items.insert(items.begin() + index, text);
    }
    void SetListSelection(int index) override { selection = index; }
    int GetListSelection() const override { return selection; }
    void InvalidateControl(int, bool) override {}
    void Close() override { ++closes; }
    // A click on an automatic radio button checks it and clears the others.
    void ClickRadio(int id) {
        for (int i = 0; i < 3; ++i) checked[IDC_RADIO_FULLSCREEN + i] = IDC_RADIO_FULLSCREEN + i == id;
    }
    bool IsEnabled(int id) const { return !enabled.count(id) || enabled.at(id); }

    std::map<int, bool> enabled, checked;
    std::vector<std::wstring> items;
    int selection = -1, closes = 0;
};

class OptionFileTest : public ::testing::Test {
protected:
    OptionFileTest() {
        CustomAssert::SetMessageBoxHandler([this](const std::wstring& text, const std::wstring&) {
            boxes.push_back(text);
            return CustomAssert::kIgnore;
        });
    }
    ~OptionFileTest() override { CustomAssert::SetMessageBoxHandler(nullptr); }

    // Defaults of version 2 and a player's file of that version with this
    // mode and size (and a few other members).
    static void Store(const std::string& mode, int width, int height) {
        WriteText("DefaultOption.json", DefaultsJson(2, ""));
        WriteText("Config/Option.json", "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"" + mode +
                                            "\", \"ScreenWidth\": \"" + std::to_string(width) +
                                            "\", \"ScreenHeight\": \"" + std::to_string(height) +
                                            "\", \"Language\": \"english\", \"SoundMusicVolmue\": \"33\"}");
    }
    std::string OptionFile() const { return ReadWholeFile((folder.Path() / "Config/Option.json").string()); }
    boost::property_tree::ptree ParseOptionFile() const {
        boost::property_tree::ptree tree;
        boost::property_tree::read_json((folder.Path() / "Config/Option.json").string(), tree);
        return tree;
    }
    std::string Member(const char* key) const { return ParseOptionFile().get<std::string>(key); }

    TempCurrentFolder folder;
    std::vector<std::wstring> boxes;
};
