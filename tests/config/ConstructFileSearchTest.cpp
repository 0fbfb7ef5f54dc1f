// Reading construct files, the fallback search for the newest one in a directory, and the
// sample files shipped in data/ (a broken sample shows up here instead of as an odd tree on
// the bench).
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

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
        {"tenth minor is newer", {"KM40X_v1.9.5.vmcon", "KM40X_v1.10.0.vmcon"}, "KM40X", "KM40X_v1.10.0.vmcon"},
        {"patch read as decimals", {"KM40X_v1.2.10.vmcon", "KM40X_v1.2.9.vmcon"}, "KM40X", "KM40X_v1.2.9.vmcon"},
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
        {"KA40_1.0.2.vmcon", 0.0},         // the first "v" is in ".vmcon"
        {"Dev_v1.0.vmcon", 0.0},           // ... or in the product name
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

std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(VIREO_DATA_DIR))
        if (entry.path().extension() == ".vmcon")
            files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

long Colons(const char* list) {
    return std::count(list, list + std::strlen(list), ':');
}

TEST(SampleConstructFiles, ParseIntoSoundRecordsAndTheFallbackFindsTheNewest) {
    ASSERT_FALSE(SampleFiles().empty());
    for (const std::string& name : SampleFiles()) {
        SCOPED_TRACE(name);
        bool ok = false;
        const std::string text = ReadConstructFile(std::string(VIREO_DATA_DIR) + "/" + name, &ok);
        ASSERT_TRUE(ok);
        EXPECT_LT(text.size(), kMaxConstructFileBytes);
        auto local = std::make_unique<CConstructData>();
        local->ParseConstructText(text, false);
        local->BuildGroupTable();
        EXPECT_GE(local->m_nParams, 40);
        int security = 0, inTable = 0;
        for (int i = 0; i < local->m_nParams; ++i) {
            const ConfigParam& p = local->m_params[i];
            const std::string command = p.command;
            EXPECT_TRUE(p.name[0] && strncasecmp(p.command, "AT", 2) == 0 &&
                        command.find('\r') == command.size() - 2)
                << p.name << ": " << command;
            EXPECT_TRUE(p.choiceList[0] == '\0' || p.type == PT_10) << p.name;
            if (p.valueList[0]) {
                EXPECT_EQ(Colons(p.choiceList), Colons(p.valueList)) << p.name;
            }
            security += std::strcmp(p.group, "Security Settings") == 0;
        }
        EXPECT_GT(security, 0);
        // Every group forms one run: one row per group, and every record in a row.
        std::set<std::string> groups;
        for (int g = 0; g < local->m_nGroups; ++g) {
            EXPECT_TRUE(groups.insert(local->GroupRow(g)[0]).second) << local->GroupRow(g)[0];
            inTable += static_cast<int>(local->GroupRow(g).size()) - 1;
        }
        EXPECT_EQ(inTable, local->m_nParams);
        auto remote = std::make_unique<CConstructData>();
        remote->ParseConstructText(text, true);
        EXPECT_EQ(remote->m_nParams, local->m_nParams - security);

        // The directory also holds firmware images and a CMakeLists.txt (a ".txt" candidate
        // without version): the product's newest construct file must still be found.
        const std::string product = name.substr(0, name.find('_'));
        double newest = 0.0;
        for (const std::string& other : SampleFiles())
            if (other.starts_with(product + "_"))
                newest = std::max(newest, ConstructFileVersion(other));
        const std::string found = FindNewestConstructFile(VIREO_DATA_DIR, product);
        EXPECT_EQ(ConstructFileVersion(fs::path(found).filename().string()), newest) << found;
        EXPECT_TRUE(fs::path(found).filename().string().starts_with(product + "_")) << found;
    }
}

} // namespace
