#pragma once
// The option files a test starts from, in a current folder of its own, with
// message boxes recorded and answered with Ignore.
#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "util/custom_assert.h"
#include "support/temp_current_folder.h"

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path().empty() ? "." : file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// A defaults file of `version` whose GameOptionDefault holds `members`
// (JSON members without braces).
inline std::string DefaultsJson(int version, const std::string& members) {
    return "{\n \"GameOptionVersion\": \"" + std::to_string(version) + "\",\n \"GameOptionDefault\": {" +
           members + "}\n}\n";
}

class OptionFileTest : public ::testing::Test {
protected:
    OptionFileTest() {
        CustomAssert::SetMessageBoxHandler([this](const std::wstring& text, const std::wstring&) {
            boxes.push_back(text);
            return CustomAssert::kIgnore;
        });
    }
    ~OptionFileTest() override { CustomAssert::SetMessageBoxHandler(nullptr); }

    std::string OptionFile() const { return TempCurrentFolder::Read(folder.Path() / "Config/Option.json"); }
    boost::property_tree::ptree ParseOptionFile() const {
        boost::property_tree::ptree tree;
        boost::property_tree::read_json((folder.Path() / "Config/Option.json").string(), tree);
        return tree;
    }
    std::string Member(const char* key) const { return ParseOptionFile().get<std::string>(key); }

    TempCurrentFolder folder;
    std::vector<std::wstring> boxes;
};
