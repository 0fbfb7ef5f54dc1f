#include "config/ConstructLoader.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using vireo::MsgAnswer;
using vireo::test::CScriptedUi;

namespace {

const char* const kAskUpdate = "WARNING: Could not recognize the firmware version.\r\nMaybe this "
                               "manager is out of date. Would you like to update this manager?";
const char* const kNoFile = "ERROR: Could not recognize the firmware version.\r\nPlease uninstall "
                            "this manager and intall the latest manager.";

class ConstructLoaderTest : public ::testing::Test {
protected:
    ConstructLoaderTest() {
        root =
            std::filesystem::temp_directory_path() /
            ("vireo-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root / "program");
        request.directory = (root / "program").string() + "/";
        request.localProduct = "KA40";
    }
    ~ConstructLoaderTest() override { std::filesystem::remove_all(root); }

    void Write(const std::filesystem::path& path, const std::string& group) {
        std::ofstream(path) << "[" << group << "/Name]10;d=<x>;c= AT+X;\n";
    }
    std::string FirstGroup() const { return data->m_params[0].group; }

    std::filesystem::path root;
    ConstructLoadRequest request;
    std::unique_ptr<CConstructData> data = std::make_unique<CConstructData>();
    CScriptedUi ui;
};

TEST_F(ConstructLoaderTest, ExactNameIsUsedEvenWhenNewerFilesExist) {
    Write(root / "program/KA40_v1.0.0.vmcon", "Exact");
    Write(root / "program/KA40_v9.0.0.vmcon", "Newer");
    request.fileName = "KA40_v1.0.0.vmcon";
    EXPECT_EQ(1, ParseConstructFile(*data, request));
    EXPECT_EQ("Exact", FirstGroup());
    EXPECT_EQ("KA40_v1.0.0.vmcon", data->m_strConstructFile);
}

TEST_F(ConstructLoaderTest, MissingFileAsksThenFallsBackSilently) {
    Write(root / "program/KD40_v5.0.0.vmcon", "Other product");
    Write(root / "program/KA40_v1.2.0.vmcon", "Same product");
    request.fileName = "KA40_v1.3.0.vmcon";
    ui.Expect(kAskUpdate, MsgAnswer::No);
    EXPECT_EQ(1, ParseConstructFile(*data, request));
    EXPECT_EQ("Same product", FirstGroup());
    EXPECT_EQ("KA40_v1.3.0.vmcon", data->m_strConstructFile); // the name asked for
    EXPECT_EQ(vireo::MsgIcon::Question, ui.Shown().at(0).icon);
}

TEST_F(ConstructLoaderTest, YesRunsTheUpdateAndRetriesTheName) {
    request.fileName = "KA40_v1.3.0.vmcon";
    int updates = 0;
    request.updateFromWeb = [&](const std::string& dir) {
        ++updates;
        Write(dir + "KA40_v1.3.0.vmcon", "Downloaded");
    };
    ui.Expect(kAskUpdate, MsgAnswer::Yes);
    EXPECT_EQ(1, ParseConstructFile(*data, request));
    EXPECT_EQ(1, updates);
    EXPECT_EQ("Downloaded", FirstGroup());
}

TEST_F(ConstructLoaderTest, NothingToFallBackOnFailsWithTheError) {
    std::ofstream(root / "program/readme.md") << "not a construct file";
    request.fileName = "KA40_v1.3.0.vmcon";
    ui.Expect(kAskUpdate, MsgAnswer::Yes); // Yes without an update is handled as No
    ui.Expect(kNoFile);
    EXPECT_EQ(-1, ParseConstructFile(*data, request));
    EXPECT_EQ(0, data->m_nParams);
}

TEST_F(ConstructLoaderTest, NameFromTheDeviceNeverLeavesTheDirectory) {
    Write(root / "outside.vmcon", "Outside");
    Write(root / "program/KA40_v1.0.0.vmcon", "Inside");
    request.fileName = "../outside.vmcon";
    ui.Expect(kAskUpdate, MsgAnswer::No);
    EXPECT_EQ(1, ParseConstructFile(*data, request));
    EXPECT_EQ("Inside", FirstGroup());
}

} // namespace
