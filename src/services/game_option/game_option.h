#pragma once
// The game's options, kept in "Config/Option.json" (shared with the game
// client) with their defaults and format version in a defaults file. The
// launcher edits only the screen mode and size; every other option is read
// and written back unchanged.
#include <array>
#include <locale>
#include <string>

namespace COMMON_UTIL {
namespace GAME_OPTION {

// The screen-mode texts in index order (radio buttons of the video options).
inline constexpr std::array<const wchar_t*, 3> kScreenModeTexts = {L"FullScreen", L"WindowFullScreen",
                                                                   L"WindowMode"};

inline constexpr const wchar_t* kOptionFile = L"Config/Option.json";

class GameOption {
public:
    // Sets every option to the value of a store whose load failed early.
    void ResetToDefaults();
    // Reads the defaults file and "Config/Option.json" (relative to the
    // current folder); rewrites the latter from the defaults when it is
    // missing or of another version. False, after a report, when a file is
    // unreadable or broken; nothing is written then.
    bool Load(const std::wstring& defaultFile, const std::locale& locale);
    // Writes "Config/Option.json", creating "Config" when needed. Failures
    // are reported, not returned.
    void Save(const std::locale& locale);

    // The file's members, named as its keys.
    std::wstring ScreenMode;
    int ScreenWidth = 0;
    int ScreenHeight = 0;
    bool ScreenCheck = false;
    bool CheckRememberLoginID = false;
    float MipmapLODBias = 0.0f;
    int FilterMode = 0;
    bool Fxaa = false;
    bool VSync = false;
    bool SoundMaster = false;
    bool SoundMusic = false;
    bool SoundAmbient = false;
    bool SoundEffect = false;
    bool SoundSystemVoice = false;
    int SoundMasterVolmue = 0;
    int SoundMusicVolmue = 0;
    int SoundAmbientVolmue = 0;
    int SoundEffectVolmue = 0;
    int SoundSystemVoiceVolmue = 0;
    int SelectedLoginServerIndex = 0;
    std::wstring RememberLoginID;
    // Held for the game client; never loaded or saved here.
    std::wstring ResourcePath;
    std::wstring Language;
    bool SkillSmart = false;
    bool LButtonMove = false;
    bool ShowOpeningMovie = false;
    bool Trail = false;
    bool Bloom = false;
    int ShadowQuality = 0;
    int EffectQuality = 0;
    int TextureQuality = 0;
    int GameOptionVersion = 0;
    bool GameOptionAutoControl = false;
    int UIScale = 0;
    bool UIScaleNotUse = false;
    // Held for the game client; never loaded or saved here.
    bool ReservedFlag = false;

private:
    // The 34 members in file order, every value as a JSON string.
    std::string Serialize(const std::locale& locale) const;
};

}  // namespace GAME_OPTION
}  // namespace COMMON_UTIL
