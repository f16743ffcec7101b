#include "services/game_option/game_option.h"

#include <boost/property_tree/exceptions.hpp>
#include <exception>

#include "util/custom_assert.h"
#include "util/file_util.h"
#include "services/game_option/option_json.h"
#include "util/text_util.h"
#include "base/file_system.h"

namespace COMMON_UTIL {
namespace GAME_OPTION {

namespace pt = boost::property_tree;

namespace {

constexpr const wchar_t* kLoadName = L"COMMON_UTIL::GAME_OPTION::GameOption::Load";
constexpr const wchar_t* kSaveName = L"COMMON_UTIL::GAME_OPTION::GameOption::Save";

template <typename T>
void Read(const pt::wptree& tree, const wchar_t* key, T& field, const T& missing) {
    auto value = GetValue<T>(tree, key);
    field = value ? *value : missing;
}

}  // namespace

void GameOption::ResetToDefaults() {
    ScreenMode = L"WindowMode";
    ScreenWidth = 0;
    ScreenHeight = 0;
    ScreenCheck = true;
    CheckRememberLoginID = false;
    MipmapLODBias = 0.0f;
    FilterMode = 1;
    Fxaa = false;
    VSync = false;
    SoundMaster = SoundMusic = SoundAmbient = SoundEffect = SoundSystemVoice = false;
    SoundMasterVolmue = SoundMusicVolmue = SoundAmbientVolmue = SoundEffectVolmue = SoundSystemVoiceVolmue =
        0;
    SelectedLoginServerIndex = 0;
    RememberLoginID.clear();
    ResourcePath = L"./";
    Language = L"korean";
    SkillSmart = false;
    LButtonMove = false;
    ShowOpeningMovie = true;
    Trail = true;
    Bloom = true;
    ShadowQuality = 2;
    EffectQuality = 2;
    TextureQuality = 2;
    GameOptionVersion = 0;
    GameOptionAutoControl = true;
    UIScale = 100;
    UIScaleNotUse = false;
    ReservedFlag = false;
}

bool GameOption::Load(const std::wstring& defaultFile, const std::locale& locale) {
    ResetToDefaults();
    bool markedForSave = false;
    try {
        pt::wptree defaults;
        ReadJsonFile(defaultFile, defaults, locale);
        const int version = GetValue<int>(defaults, L"GameOptionVersion").value_or(0);

        pt::wptree tree;
        // Only when nothing is there: a folder or an unreadable file of that
        // name is a file that cannot be read, not a missing one, and must not
        // be replaced by the defaults.
        if (NothingAt(kOptionFile)) {
            tree = defaults.get_child(L"GameOptionDefault");
            markedForSave = true;
        } else {
            ReadJsonFile(kOptionFile, tree, locale);
            // Another version is discarded whole: there is no migration.
            if (GetValue<int>(tree, L"GameOptionVersion").value_or(0) != version) {
                tree = defaults.get_child(L"GameOptionDefault");
                markedForSave = true;
            }
        }
        GameOptionVersion = version;

        Read(tree, L"ScreenMode", ScreenMode, std::wstring(L"FullScreen"));
        Read(tree, L"ScreenWidth", ScreenWidth, 1600);
        Read(tree, L"ScreenHeight", ScreenHeight, 900);
        Read(tree, L"ScreenCheck", ScreenCheck, true);
        Read(tree, L"CheckRememberLoginID", CheckRememberLoginID, true);
        Read(tree, L"MipmapLODBias", MipmapLODBias, -1.0f);
        Read(tree, L"FilterMode", FilterMode, 1);
        Read(tree, L"Fxaa", Fxaa, false);
        Read(tree, L"VSync", VSync, false);
        Read(tree, L"SoundMaster", SoundMaster, true);
        Read(tree, L"SoundMusic", SoundMusic, true);
        Read(tree, L"SoundAmbient", SoundAmbient, true);
        Read(tree, L"SoundEffect", SoundEffect, true);
        Read(tree, L"SoundSystemVoice", SoundSystemVoice, true);
        Read(tree, L"SoundMasterVolmue", SoundMasterVolmue, 0);
        Read(tree, L"SoundMusicVolmue", SoundMusicVolmue, 0);
        Read(tree, L"SoundAmbientVolmue", SoundAmbientVolmue, 0);
        Read(tree, L"SoundEffectVolmue", SoundEffectVolmue, 0);
        Read(tree, L"SoundSystemVoiceVolmue", SoundSystemVoiceVolmue, 0);
        Read(tree, L"SelectedLoginServerIndex", SelectedLoginServerIndex, 0);
        Read(tree, L"RememberLoginID", RememberLoginID, std::wstring());
        Read(tree, L"Language", Language, std::wstring(L"korean"));
        Read(tree, L"SkillSmart", SkillSmart, false);
        Read(tree, L"LButtonMove", LButtonMove, false);
        Read(tree, L"ShowOpeningMovie", ShowOpeningMovie, true);
        Read(tree, L"Trail", Trail, true);
        Read(tree, L"Bloom", Bloom, true);
        Read(tree, L"ShadowQuality", ShadowQuality, 2);
        Read(tree, L"EffectQuality", EffectQuality, 2);
        Read(tree, L"TextureQuality", TextureQuality, 2);
        Read(tree, L"GameOptionAutoControl", GameOptionAutoControl, true);
        Read(tree, L"UIScale", UIScale, 1);
        Read(tree, L"UIScaleNotUse", UIScaleNotUse, false);
    } catch (const pt::ptree_error& e) {
        const std::wstring what = text::FromUtf8(e.what());
        RT_ASSERT(true, true, kLoadName, L"load json fail, %s", what.c_str());
        return false;
    } catch (...) {
        RT_ASSERT(true, true, kLoadName, L"load json fail");
        return false;
    }
    if (markedForSave) Save(locale);
    return true;
}

std::string GameOption::Serialize(const std::locale& locale) const {
    pt::wptree tree;
    PutValue(tree, L"GameOptionVersion", GameOptionVersion);
    PutValue(tree, L"ScreenMode", ScreenMode);
    PutValue(tree, L"ScreenCheck", ScreenCheck);
    PutValue(tree, L"ScreenWidth", ScreenWidth);
    PutValue(tree, L"ScreenHeight", ScreenHeight);
    PutValue(tree, L"Trail", Trail);
    PutValue(tree, L"Bloom", Bloom);
    PutValue(tree, L"ShadowQuality", ShadowQuality);
    PutValue(tree, L"EffectQuality", EffectQuality);
    PutValue(tree, L"TextureQuality", TextureQuality);
    PutValue(tree, L"CheckRememberLoginID", CheckRememberLoginID);
    PutValue(tree, L"RememberLoginID", RememberLoginID);
    PutValue(tree, L"MipmapLODBias", MipmapLODBias);
    PutValue(tree, L"Fxaa", Fxaa);
    PutValue(tree, L"VSync", VSync);
    PutValue(tree, L"FilterMode", FilterMode);
    PutValue(tree, L"SoundMaster", SoundMaster);
    PutValue(tree, L"SoundMusic", SoundMusic);
    PutValue(tree, L"SoundAmbient", SoundAmbient);
    PutValue(tree, L"SoundEffect", SoundEffect);
    PutValue(tree, L"SoundSystemVoice", SoundSystemVoice);
    PutValue(tree, L"SoundMasterVolmue", SoundMasterVolmue);
    PutValue(tree, L"SoundMusicVolmue", SoundMusicVolmue);
    PutValue(tree, L"SoundAmbientVolmue", SoundAmbientVolmue);
    PutValue(tree, L"SoundEffectVolmue", SoundEffectVolmue);
    PutValue(tree, L"SoundSystemVoiceVolmue", SoundSystemVoiceVolmue);
    PutValue(tree, L"SelectedLoginServerIndex", SelectedLoginServerIndex);
    PutValue(tree, L"Language", Language);
    PutValue(tree, L"SkillSmart", SkillSmart);
    PutValue(tree, L"LButtonMove", LButtonMove);
    PutValue(tree, L"ShowOpeningMovie", ShowOpeningMovie);
    PutValue(tree, L"GameOptionAutoControl", GameOptionAutoControl);
    PutValue(tree, L"UIScale", UIScale);
    PutValue(tree, L"UIScaleNotUse", UIScaleNotUse);
    return WriteJsonText(tree, locale);
}

void GameOption::Save(const std::locale& locale) {
    std::string bytes;
    try {
        bytes = Serialize(locale);
    } catch (...) {
        RT_ASSERT(true, false, kSaveName, L"Config/Option.json save fail");
        return;
    }
    // Temporary file and rename: the game client never reads a torn file.
    if (WriteFileAtomically(kOptionFile, bytes)) return;
    if (!fsys::MakeFolder("Config")) {
        RT_ASSERT(true, false, kSaveName, L"Config폴더 생성 실패");
        return;
    }
    if (!WriteFileAtomically(L"./Config/Option.json", bytes)) {
        RT_ASSERT(true, false, kSaveName, L"Config/Option.json save fail");
    }
}

}  // namespace GAME_OPTION
}  // namespace COMMON_UTIL
