#include "platform/InstalledLayout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>

namespace fs = std::filesystem;
using vireo::ChooseProgramLayout;
using vireo::SeedUserDataDirectory;
using vireo::UserEnvironment;

namespace {

const char kShared[] = "../share/vireo-manager";

class ScratchRoot : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vireo-layout-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        root = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void MakeDir(const std::string& rel) { fs::create_directories(root + rel); }
    void Write(const std::string& rel, const std::string& text) {
        std::ofstream(root + rel, std::ios::binary) << text;
    }
    std::string Read(const std::string& rel) {
        std::ifstream in(root + rel, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string root;
};

// "@" in an expectation or in the environment stands for the scratch root.
struct LayoutCase {
    const char* what;
    bool installed;       // <root>/share/vireo-manager exists beside <root>/bin
    const char* exeDir;   // relative to the root
    const char* relative; // shipped data relative to the executable's folder
    const char* xdg;
    const char* home;
    const char* program; // expected program directory
    const char* shipped; // expected shipped data directory
};

std::string Expand(const char* text, const std::string& root) {
    std::string out = text;
    if (const auto at = out.find('@'); at != std::string::npos)
        out.replace(at, 1, root);
    return out;
}

class ProgramLayoutTable : public ScratchRoot, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ProgramLayoutTable, ChoosesTheFolderForWhereTheExecutableLies) {
    const LayoutCase& c = GetParam();
    MakeDir("bin");
    if (c.installed)
        MakeDir("share/vireo-manager");
    const UserEnvironment env{Expand(c.xdg, root), Expand(c.home, root)};
    const auto layout = ChooseProgramLayout(root + c.exeDir, c.relative, env);
    EXPECT_EQ(Expand(c.program, root), layout.programDirectory) << c.what;
    EXPECT_EQ(Expand(c.shipped, root), layout.shippedDataDirectory) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramLayoutTable,
    ::testing::Values(
        LayoutCase{"build tree: the executable's folder", false, "bin/", kShared, "@xdg", "@home",
                   "@bin/", ""},
        LayoutCase{"installed, XDG_DATA_HOME set", true, "bin/", kShared, "@xdg", "@home",
                   "@xdg/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"installed, XDG_DATA_HOME with a trailing slash", true, "bin/", kShared, "@xdg/",
                   "@home", "@xdg/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"installed, XDG_DATA_HOME unset", true, "bin/", kShared, "", "@home",
                   "@home/.local/share/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"installed, a relative XDG_DATA_HOME is ignored", true, "bin/", kShared,
                   "rel/data", "@home", "@home/.local/share/vireo-manager/",
                   "@share/vireo-manager/"},
        LayoutCase{"installed, no home at all: the shipped folder", true, "bin/", kShared, "", "",
                   "@share/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"installed, executable folder given without separator", true, "bin", kShared,
                   "@xdg", "@home", "@xdg/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"installed into the user's own prefix: one folder for both", true, "bin/",
                   kShared, "@share", "@home", "@share/vireo-manager/", "@share/vireo-manager/"},
        LayoutCase{"no shipped path known (Windows): the executable's folder", true, "bin/", "",
                   "@xdg", "@home", "@bin/", ""}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

class SeedUserData : public ScratchRoot {
protected:
    void SetUp() override {
        ScratchRoot::SetUp();
        MakeDir("shipped/sub");
        Write("shipped/KA40_v1.0.2.vmcon", "shipped A");
        Write("shipped/KD40_v1.1.0.vmcon", "shipped D");
        Write("shipped/KA40_v1.0.2.ebl", "image");
        Write("shipped/sub/KM40X_v1.0.2.vmcon", "nested");
    }
};

TEST_F(SeedUserData, CreatesTheFolderAndCopiesOnlyTopLevelConstructFiles) {
    std::string why;
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "a/b/user/", &why)) << why;
    EXPECT_EQ("shipped A", Read("a/b/user/KA40_v1.0.2.vmcon"));
    EXPECT_EQ("shipped D", Read("a/b/user/KD40_v1.1.0.vmcon"));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(root + "a/b/user"))
        ++entries;
    EXPECT_EQ(2, entries) << "no image, no subfolder, no leftover part file";
}

TEST_F(SeedUserData, KeepsTheUsersOwnFilesAndAddsTheMissingOnes) {
    MakeDir("user");
    Write("user/KA40_v1.0.2.vmcon", "downloaded newer");
    Write("user/Custom.vmcon", "mine");
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "user/", nullptr));
    EXPECT_EQ("downloaded newer", Read("user/KA40_v1.0.2.vmcon"));
    EXPECT_EQ("mine", Read("user/Custom.vmcon"));
    EXPECT_EQ("shipped D", Read("user/KD40_v1.1.0.vmcon"));
    // A second start changes nothing.
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "user/", nullptr));
    EXPECT_EQ("downloaded newer", Read("user/KA40_v1.0.2.vmcon"));
}

TEST_F(SeedUserData, FailsWithAReasonWhenTheFolderCannotBeMade) {
    Write("blocker", "a file where the folder should be");
    std::string why;
    EXPECT_FALSE(SeedUserDataDirectory(root + "shipped/", root + "blocker/user/", &why));
    EXPECT_FALSE(why.empty());
}

TEST_F(SeedUserData, AMissingShippedFolderLeavesAnEmptyUserFolder) {
    ASSERT_TRUE(SeedUserDataDirectory(root + "nothing/", root + "user/", nullptr));
    EXPECT_TRUE(fs::is_directory(root + "user"));
}

} // namespace
