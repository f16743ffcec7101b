#include "launcher/options/option_dialog.h"

#include <locale>

namespace {

constexpr const wchar_t* kDefaultOptionFile = L"DefaultOption.json";
constexpr int kRadioIds[] = {IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW};

}  // namespace

using COMMON_UTIL::GAME_OPTION::kScreenModeTexts;

COptionDialog::COptionDialog(OptionDialogView& view, DisplayModeSource& modeSource)
    : m_view(view), m_modeSource(modeSource) {}

bool COptionDialog::LoadOptions() {
    m_bLoaded = m_GameOption.Load(kDefaultOptionFile, std::locale());
    if (!m_bLoaded) {
        m_view.EnableControl(IDC_LIST_RESOLUTION, false);
        for (int id : kRadioIds) m_view.EnableControl(id, false);
        return false;
    }
    for (int id : kRadioIds) m_view.EnableControl(id, true);
    m_view.EnableControl(IDC_LIST_RESOLUTION, m_GameOption.ScreenMode != kScreenModeTexts[1]);
    return true;
}

bool COptionDialog::EnumDisplayModes() {
    std::vector<DisplayMode> modes;
    if (!m_modeSource.GetModes(modes)) return false;
    for (const DisplayMode& mode : modes) {
        const auto entry = FindSupportedResolution(mode.width, mode.height);
        if (!entry) continue;
        bool known = false;
        for (const DisplayModeInfo& offered : m_vecDisplayMode) {
            known = known || (offered.nWidth == mode.width && offered.nHeight == mode.height);
        }
        if (!known) m_vecDisplayMode.push_back(*entry);
    }
    return true;
}

void COptionDialog::SaveOptions() {
    m_GameOption.Save(std::locale());
}

bool COptionDialog::OnInitDialog() {
    m_vecDisplayMode.clear();
    if (!LoadOptions()) return false;
    EnumDisplayModes();

    for (size_t i = 0; i < m_vecDisplayMode.size(); ++i) {
        m_view.InsertListItem(static_cast<int>(i), FormatDisplayModeLabel(m_vecDisplayMode[i]));
    }
    for (size_t i = 0; i < m_vecDisplayMode.size(); ++i) {
        const DisplayModeInfo& mode = m_vecDisplayMode[i];
        if (static_cast<int64_t>(mode.nWidth) == m_GameOption.ScreenWidth &&
            static_cast<int64_t>(mode.nHeight) == m_GameOption.ScreenHeight) {
            m_view.SetListSelection(static_cast<int>(i));
            break;
        }
    }
    for (int id : kRadioIds) m_view.SetRadioChecked(id, false);
    for (size_t i = 0; i < kScreenModeTexts.size(); ++i) {
        if (m_GameOption.ScreenMode == kScreenModeTexts[i]) {
            m_view.SetRadioChecked(kRadioIds[i], true);
            m_nScreenMode = static_cast<int>(i);
            break;
        }
    }
    return true;
}

void COptionDialog::OnBnClickedButtonOk() {
    // After a failed load the store holds reset values, not the player's:
    // writing them would overwrite the options the game client keeps.
    if (m_bLoaded) SaveOptions();
    m_view.Close();
}

void COptionDialog::OnBnClickedButtonCancel() {
    m_view.Close();
}

void COptionDialog::OnBnClickedRadio(int id) {
    const int index = m_view.GetCheckedRadioIndex();
    // The group always has a checked button after a click; a view that says
    // otherwise changes nothing rather than writing a text outside the table.
    if (index < 0 || index >= static_cast<int>(kScreenModeTexts.size())) return;
    m_nScreenMode = index;
    m_GameOption.ScreenMode = kScreenModeTexts[index];
    m_view.EnableControl(IDC_LIST_RESOLUTION, id != IDC_RADIO_WINDOWED_FULLSCREEN);
    m_view.InvalidateControl(IDC_LIST_RESOLUTION, true);
}

void COptionDialog::OnLbnSelchangeListResolution() {
    const int selection = m_view.GetListSelection();
    // The list and m_vecDisplayMode hold the same entries; a selection
    // outside it changes nothing.
    if (selection < 0 || selection >= static_cast<int>(m_vecDisplayMode.size())) return;
    m_GameOption.ScreenWidth = static_cast<int>(m_vecDisplayMode[selection].nWidth);
    m_GameOption.ScreenHeight = static_cast<int>(m_vecDisplayMode[selection].nHeight);
}
