// Finding the construct file of a device: reading a file, the exact name, the question, the
// update and the fallback search for the newest file in the program directory.
#include "config/ConstructFile.h"
#include "config/ConstructLoader.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace {

// A fresh directory named after the running test, removed afterwards.
struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("vireo_construct_" +
                     std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    TempDir() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string Write(const std::string& name, const std::string& content = "[G/N]16;") const {
        std::ofstream(path / name, std::ios::binary) << content;
        return (path / name).string();
    }
};

TEST(ConstructFallbackSearch, ChoosesTheNewestPreferredFile) {
    struct Case {
        const char* title;
        std::vector<std::string> files; // a name ending in "/" is a directory
        std::string product, expected;  // expected: empty when the search must fail
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"preference beats version", {"KA40_v9.9.9.vmcon", "KM40X_v1.0.0.vmcon"}, "KM40X", "KM40X_v1.0.0.vmcon"},
        {"preference ignores case", {"KA40_v9.0.vmcon", "km40x_v1.0.vmcon"}, "KM40X", "km40x_v1.0.vmcon"},
        {"text file takes part", {"KM40X_v1.4.0.vmcon", "KM40X_v1.5.txt"}, "KM40X", "KM40X_v1.5.txt"},
        {"suffix ignores case", {"KM40X_v1.4.VMCON", "KM40X_v1.3.TXT"}, "KM40X", "KM40X_v1.4.VMCON"},
        {"other files and directories", {"KM40X_v9.0.vmcon.bak", "KM40X_v9.0.ebl", "KM40X_v9.1.vmcon/", "KM40X_v1.0.vmcon"}, "KM40X", "KM40X_v1.0.vmcon"},
        {"empty product prefers all", {"KA40_v1.0.vmcon", "KM40X_v3.0.vmcon", "ZB_v2.0.txt"}, "", "KM40X_v3.0.vmcon"},
        {"other product when none preferred", {"KA40_v1.0.vmcon", "ZB_v2.0.vmcon"}, "KM40X", "ZB_v2.0.vmcon"},
        {"preferred version zero displaces the best", {"AAA_v5.0.vmcon", "KM40X_beta.vmcon"}, "KM40X", ""},
        {"then a better preferred file", {"AAA_v5.0.vmcon", "KM40X_beta.vmcon", "KM40X_v1.0.vmcon"}, "KM40X", "KM40X_v1.0.vmcon"},
        {"equal versions keep the earlier name", {"KM40X_v1.2.vmcon", "km40x_v1.2.txt"}, "KM40X", "km40x_v1.2.txt"},
        {"earlier in upper-case order", {"KM40X_v1.2.vmcon", "KM40Xa_v1.2.vmcon"}, "KM40X", "KM40Xa_v1.2.vmcon"},
        {"no version anywhere", {"KM40X.vmcon", "notes.txt"}, "KM40X", ""},
        {"empty directory", {}, "KM40X", ""}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempDir dir;
        for (const std::string& f : c.files)
            f.ends_with("/") ? (void)fs::create_directory(dir.path / f) : (void)dir.Write(f);
        const std::string found = FindNewestConstructFile(dir.path.string(), c.product);
        EXPECT_EQ(found, c.expected.empty() ? "" : (dir.path / c.expected).string());
    }
    EXPECT_EQ(FindNewestConstructFile("/nonexistent/vireo", "KM40X"), "");
}

TEST(ConstructFileVersion, IsReadFromTheName) {
    const std::vector<std::pair<const char*, double>> cases = {
        {"KM40X_v1.2.3.vmcon", 1000000.0 + 2.3},
        {"KM40X_v1.10.0.vmcon", 1000000.0 + 10.0},
        {"KM40X_v1.2.10.vmcon", 1000000.0 + 2.1},
        {"KM40X_v3000.1.vmcon", 3000000000.0 + 1.0}, // no 32-bit overflow
        {"KM40X_v.5.vmcon", 5.0},
        {"KM40X_v1.vmcon", 1000000.0},
        {"KM40X_v1.2e5.vmcon", 1000002.0}, // no exponent
        {"1.5.txt", 1000005.0},            // no "v": scan from the start
        {"KA40_1.0.2.vmcon", 0.0},         // the first "v" is in ".vmcon" (or the product)
        {"KM40X_V1.2.vmcon", 0.0},         // "v" is exact case
        {"KM40X_v1_2.vmcon", 0.0}};
    for (const auto& [name, version] : cases)
        EXPECT_DOUBLE_EQ(ConstructFileVersion(name), version) << name;
}

TEST(ConstructFileRead, ReadsAtMost64KiBUpToTheFirstZeroByteAndFailsOnNoFile) {
    TempDir dir;
    bool ok = false;
    const std::string big(70000, 'a');
    EXPECT_EQ(ReadConstructFile(dir.Write("big.vmcon", big), &ok), big.substr(0, 65536));
    EXPECT_TRUE(ok);
    const char raw[] = "[G/N]16;\0[H/M]16;";
    EXPECT_EQ(ReadConstructFile(dir.Write("zero.vmcon", std::string(raw, sizeof raw - 1)), &ok),
              "[G/N]16;");
    EXPECT_EQ(ReadConstructFile(dir.Write("empty.vmcon", ""), &ok), "");
    EXPECT_TRUE(ok);
    for (const fs::path& none : {dir.path / "missing.vmcon", dir.path}) {
        EXPECT_EQ(ReadConstructFile(none.string(), &ok), "");
        EXPECT_FALSE(ok);
    }
}

TEST(ConstructLoader, ExactNameThenTheQuestionThenTheNewestFileOfTheLocalProduct) {
    const char* const ask = "WARNING: Could not recognize the firmware version.\r\nMaybe this "
                            "manager is out of date. Would you like to update this manager?";
    struct Case {
        const char* title;
        std::vector<std::string> files; // "name:group", the group of its only parameter
        std::string fileName;
        std::optional<vireo::MsgAnswer> answer; // to the question, when it must come
        bool update;                            // whether an update is at hand
        std::string group;                      // of the loaded parameter; empty: load fails
    };
    using A = vireo::MsgAnswer;
    const std::vector<Case> cases = {
        {"exact name",
         {"KA40_v1.0.0.vmcon:Exact", "KA40_v9.0.0.vmcon:Newer"},
         "KA40_v1.0.0.vmcon",
         {},
         false,
         "Exact"},
        {"fallback",
         {"KD40_v5.0.0.vmcon:Other", "KA40_v1.2.0.vmcon:Same"},
         "KA40_v1.3.0.vmcon",
         A::No,
         true,
         "Same"},
        {"update", {}, "KA40_v1.3.0.vmcon", A::Yes, true, "Downloaded"},
        // Yes without an update at hand is taken as No.
        {"nothing found", {"readme.md:None"}, "KA40_v1.3.0.vmcon", A::Yes, false, ""},
        // The name comes from the device: it never leads out of the directory.
        {"outside",
         {"../outside.vmcon:Outside", "KA40_v1.0.0.vmcon:Inside"},
         "../outside.vmcon",
         A::No,
         false,
         "Inside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempDir dir;
        fs::create_directories(dir.path / "program");
        for (const std::string& f : c.files) {
            const size_t colon = f.find(':');
            dir.Write("program/" + f.substr(0, colon),
                      "[" + f.substr(colon + 1) + "/Name]10;d=<x>;c= AT+X;\n");
        }
        vireo::test::CScriptedUi ui;
        if (c.answer)
            ui.Expect(ask, *c.answer);
        if (c.group.empty())
            ui.Expect("ERROR: Could not recognize the firmware version.\r\nPlease uninstall this "
                      "manager and intall the latest manager.");
        ConstructLoadRequest request{
            c.fileName, "KA40", false, (dir.path / "program/").string(), {}};
        if (c.update)
            request.updateFromWeb = [&](const std::string& directory) {
                std::ofstream(directory + "KA40_v1.3.0.vmcon")
                    << "[Downloaded/Name]10;d=<x>;c= AT+X;";
            };
        const auto data = std::make_unique<CConstructData>();
        EXPECT_EQ(c.group.empty() ? -1 : 1, ParseConstructFile(*data, request));
        EXPECT_EQ(c.fileName, data->m_strConstructFile); // the name asked for in any case
        EXPECT_EQ(c.group, data->m_nParams ? data->m_params[0].group : "");
    }
}

} // namespace
