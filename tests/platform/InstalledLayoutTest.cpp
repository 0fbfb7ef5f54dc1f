// Where an installed program keeps its construct files, and how the user's folder is filled.
#include "platform/InstalledLayout.h"
#include "tests/support/PtyPeer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace fs = std::filesystem;
using namespace vireo;

namespace {

class ScratchRoot : public ::testing::Test {
protected:
    void Write(const std::string& rel, const std::string& text) {
        fs::create_directories(fs::path(root + rel).parent_path());
        std::ofstream(root + rel, std::ios::binary) << text;
    }
    std::string Read(const std::string& rel) {
        std::ifstream in(root + rel, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    test::CTempPortDir dir; // a private scratch folder
    const std::string root = dir.Path() + "/";
};

// "@" stands for the scratch root. Installed means <root>/share/vireo-manager beside <root>/bin.
TEST_F(ScratchRoot, ProgramFolderFollowsWhereTheExecutableLies) {
    const auto at = [this](std::string text) {
        return text.rfind('@', 0) == 0 ? text.replace(0, 1, root) : text;
    };
    const std::string relative = "../share/vireo-manager", shipped = at("@share/vireo-manager/");
    fs::create_directories(root + "bin");
    fs::create_directories(shipped);
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
    };
    for (const auto& c : installed) {
        const auto layout = ChooseProgramLayout(root + c.exeDir, relative, {at(c.xdg), at(c.home)});
        EXPECT_EQ(at(c.program), layout.programDirectory) << c.what;
        EXPECT_EQ(shipped, layout.shippedDataDirectory) << c.what;
    }
    // No shipped path known (Windows): the executable's folder. (A build tree, where the
    // shipped folder is missing, is every run of the report test.)
    EXPECT_EQ(at("@bin/"),
              ChooseProgramLayout(root + "bin/", "", {at("@xdg"), at("@home")}).programDirectory);
}

// Only construct files that the user's folder lacks are copied: no image, no subfolder, no
// leftover part file, and a newer download stays.
TEST_F(ScratchRoot, SeedingCopiesOnlyMissingTopLevelConstructFiles) {
    Write("shipped/KA40_v1.0.2.vmcon", "shipped A");
    Write("shipped/KD40_v1.1.0.vmcon", "shipped D");
    Write("shipped/KA40_v1.0.2.ebl", "image");
    Write("shipped/sub/KM40X_v1.0.2.vmcon", "nested");
    Write("user/KA40_v1.0.2.vmcon", "downloaded newer");
    std::string why;
    ASSERT_TRUE(SeedUserDataDirectory(root + "shipped/", root + "user/", &why)) << why;
    EXPECT_EQ("downloaded newer", Read("user/KA40_v1.0.2.vmcon"));
    EXPECT_EQ("shipped D", Read("user/KD40_v1.1.0.vmcon"));
    EXPECT_EQ(2, std::distance(fs::directory_iterator(root + "user"), {}));

    // A missing shipped folder leaves the new folder empty; a file in the way fails.
    ASSERT_TRUE(SeedUserDataDirectory(root + "nothing/", root + "a/b/new/", nullptr));
    EXPECT_TRUE(fs::is_directory(root + "a/b/new"));
    Write("blocker", "a file where the folder should be");
    EXPECT_FALSE(SeedUserDataDirectory(root + "shipped/", root + "blocker/user/", &why));
    EXPECT_FALSE(why.empty());
}

} // namespace
