#pragma once
// The video option dialog's logic: loads the game options, offers the
// supported display modes, and writes the player's screen mode and size back
// on OK. It draws nothing; an OptionDialogView renders it.
#include <vector>

#include "services/game_option/game_option.h"
#include "launcher/options/option_dialog_view.h"
#include "launcher/options/resolution_table.h"
#include "os/display_modes.h"

class COptionDialog {
public:
    static constexpr int kDialogResource = 189;

    COptionDialog(OptionDialogView& view, DisplayModeSource& modeSource);

    // Loads the options and fills the controls. False when the options could
    // not be loaded: the dialog then shows with every choice disabled.
    bool OnInitDialog();
    bool LoadOptions();
    // Fills m_vecDisplayMode: the source's modes that the resolution table
    // lists, one entry per resolution, in the source's order.
    bool EnumDisplayModes();
    void SaveOptions();

    void OnBnClickedButtonOk();
    void OnBnClickedButtonCancel();
    // A radio button of the screen-mode group was clicked (its id).
    void OnBnClickedRadio(int id);
    void OnLbnSelchangeListResolution();

    const std::vector<DisplayModeInfo>& DisplayModes() const { return m_vecDisplayMode; }
    const COMMON_UTIL::GAME_OPTION::GameOption& Options() const { return m_GameOption; }
    int ScreenMode() const { return m_nScreenMode; }

private:
    OptionDialogView& m_view;
    DisplayModeSource& m_modeSource;
    std::vector<DisplayModeInfo> m_vecDisplayMode;
    COMMON_UTIL::GAME_OPTION::GameOption m_GameOption;
    int m_nScreenMode = 0;
    bool m_bLoaded = false;  // OK writes only options that were read
};
