#include "platform/InstalledLayout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;
using namespace vireo;

namespace {

class ScratchRoot : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vireo-layout-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        root = pattern + "/";
    }
    void TearDown() override { fs::remove_all(root); }
    void MakeDir(const std::string& rel) { fs::create_directories(root + rel); }
    void Write(const std::string& rel, const std::string& text) {
        std::ofstream(root + rel, std::ios::binary) << text;
    }
    std::string Read(const std::string& rel) {
        std::ifstream in(root + rel, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string root;
};

// "@" stands for the scratch root. Installed means <root>/share/vireo-manager beside <root>/bin.
TEST_F(ScratchRoot, ProgramFolderFollowsWhereTheExecutableLies) {
    const auto at = [this](std::string text) {
        return text.rfind('@', 0) == 0 ? text.replace(0, 1, root) : text;
    };
    const std::string relative = "../share/vireo-manager", shipped = at("@share/vireo-manager/");
    MakeDir("bin");
    MakeDir("share/vireo-manager");
    const struct {
        const char* what;
        const char* exeDir;
        const char* xdg;
        const char* home;
        const char* program;
    } installed[] = {
        {"XDG_DATA_HOME set", "bin/", "@xdg", "@home", "@xdg/vireo-manager/"},
        {"with a trailing slash", "bin/", "@xdg/", "@home", "@xdg/vireo-manager/"},
        {"XDG_DATA_HOME unset", "bin/", "", "@home", "@home/.local/share/vireo-manager/"},
        {"a relative one is ignored", "bin/", "rel", "@home", "@home/.local/share/vireo-manager/"},
        {"no home at all", "bin/", "", "", "@share/vireo-manager/"},
        {"folder without separator", "bin", "@xdg", "@home", "@xdg/vireo-manager/"},
        {"the user's own prefix", "bin/", "@share", "@home", "@share/vireo-manager/"},
    };
    for (const auto& c : installed) {
        const auto layout = ChooseProgramLayout(root + c.exeDir, relative, {at(c.xdg), at(c.home)});
        EXPECT_EQ(at(c.program), layout.programDirectory) << c.what;
        EXPECT_EQ(shipped, layout.shippedDataDirectory) << c.what;
    }
    // No shipped path known (Windows), or a build tree: the executable's folder.
    const UserEnvironment env{at("@xdg"), at("@home")};
    EXPECT_EQ(at("@bin/"), ChooseProgramLayout(root + "bin/", "", env).programDirectory);
    fs::remove_all(root + "share");
    const auto build = ChooseProgramLayout(root + "bin/", relative, env);
    EXPECT_EQ(at("@bin/"), build.programDirectory);
    EXPECT_EQ("", build.shippedDataDirectory);
}

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

TEST_F(SeedUserData, CopiesOnlyMissingTopLevelConstructFiles) {
    std::string why;
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "a/b/user/", &why)) << why;
    EXPECT_EQ("shipped A", Read("a/b/user/KA40_v1.0.2.vmcon"));
    EXPECT_EQ("shipped D", Read("a/b/user/KD40_v1.1.0.vmcon"));
    const auto entries = std::distance(fs::directory_iterator(root + "a/b/user"), {});
    EXPECT_EQ(2, entries) << "no image, no subfolder, no leftover part file";
    Write("a/b/user/KA40_v1.0.2.vmcon", "downloaded newer"); // the user's own file stays
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "a/b/user/", nullptr));
    EXPECT_EQ("downloaded newer", Read("a/b/user/KA40_v1.0.2.vmcon"));
}

TEST_F(SeedUserData, FailsWithAReasonOnlyWhenTheFolderCannotBeMade) {
    Write("blocker", "a file where the folder should be");
    std::string why;
    EXPECT_FALSE(SeedUserDataDirectory(root + "shipped/", root + "blocker/user/", &why));
    EXPECT_FALSE(why.empty());
    ASSERT_TRUE(SeedUserDataDirectory(root + "nothing/", root + "user/", nullptr));
    EXPECT_TRUE(fs::is_directory(root + "user")) << "a missing shipped folder leaves it empty";
}

} // namespace
