// Finding the construct file of a device: the exact name, the question, the update and the
// fallback search, in a fresh program directory per test.
#include "config/ConstructLoader.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using vireo::MsgAnswer;

namespace {

const char* const kAskUpdate = "WARNING: Could not recognize the firmware version.\r\nMaybe this "
                               "manager is out of date. Would you like to update this manager?";

class ConstructLoaderTest : public ::testing::Test {
protected:
    ConstructLoaderTest() { std::filesystem::create_directories(root / "program"); }
    ~ConstructLoaderTest() override { std::filesystem::remove_all(root); }

    // A construct file whose only parameter lies in the group named group.
    void Write(const std::filesystem::path& path, const std::string& group) {
        std::ofstream(root / path) << "[" << group << "/Name]10;d=<x>;c= AT+X;\n";
    }
    // Loads fileName; returns the group of the loaded parameter ("" when none).
    std::string Load(const std::string& fileName, int expected = 1) {
        request.fileName = fileName;
        EXPECT_EQ(expected, ParseConstructFile(*data, request));
        EXPECT_EQ(fileName, data->m_strConstructFile); // the name asked for in any case
        return data->m_nParams ? data->m_params[0].group : "";
    }

    std::filesystem::path root =
        std::filesystem::temp_directory_path() /
        ("vireo-loader-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ConstructLoadRequest request{"", "KA40", false, (root / "program").string() + "/", {}};
    std::unique_ptr<CConstructData> data = std::make_unique<CConstructData>();
    vireo::test::CScriptedUi ui;
};

TEST_F(ConstructLoaderTest, ExactNameIsUsedEvenWhenNewerFilesExist) {
    Write("program/KA40_v1.0.0.vmcon", "Exact");
    Write("program/KA40_v9.0.0.vmcon", "Newer");
    EXPECT_EQ("Exact", Load("KA40_v1.0.0.vmcon"));
}

TEST_F(ConstructLoaderTest, MissingFileAsksThenFallsBackToTheLocalProduct) {
    Write("program/KD40_v5.0.0.vmcon", "Other product");
    Write("program/KA40_v1.2.0.vmcon", "Same product");
    ui.Expect(kAskUpdate, MsgAnswer::No);
    EXPECT_EQ("Same product", Load("KA40_v1.3.0.vmcon"));
    EXPECT_EQ(vireo::MsgIcon::Question, ui.Shown().at(0).icon);
}

TEST_F(ConstructLoaderTest, YesRunsTheUpdateAndRetriesTheName) {
    int updates = 0;
    request.updateFromWeb = [&](const std::string& dir) {
        ++updates;
        std::ofstream(dir + "KA40_v1.3.0.vmcon") << "[Downloaded/Name]10;d=<x>;c= AT+X;\n";
    };
    ui.Expect(kAskUpdate, MsgAnswer::Yes);
    EXPECT_EQ("Downloaded", Load("KA40_v1.3.0.vmcon"));
    EXPECT_EQ(1, updates);
}

TEST_F(ConstructLoaderTest, NothingToFallBackOnFailsWithTheError) {
    std::ofstream(root / "program/readme.md") << "not a construct file";
    ui.Expect(kAskUpdate, MsgAnswer::Yes); // Yes without an update is handled as No
    ui.Expect("ERROR: Could not recognize the firmware version.\r\nPlease uninstall this manager "
              "and intall the latest manager.");
    EXPECT_EQ("", Load("KA40_v1.3.0.vmcon", -1));
}

TEST_F(ConstructLoaderTest, NameFromTheDeviceNeverLeavesTheDirectory) {
    Write("outside.vmcon", "Outside");
    Write("program/KA40_v1.0.0.vmcon", "Inside");
    ui.Expect(kAskUpdate, MsgAnswer::No);
    EXPECT_EQ("Inside", Load("../outside.vmcon"));
}

} // namespace
