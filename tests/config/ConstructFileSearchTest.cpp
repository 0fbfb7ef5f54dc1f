// Reading construct files and the fallback search for the newest one in a directory.
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <cctype>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        // Parameterised names hold "/"; tests may run in parallel, so the name must be unique.
        std::string name = "vireo_construct_" + std::string(info->test_suite_name()) + "_" +
                           std::string(info->name());
        std::replace(name.begin(), name.end(), '/', '_');
        m_path = fs::temp_directory_path() / name;
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string Write(const std::string& name, const std::string& content = "[G/N]16;") const {
        std::ofstream(m_path / name, std::ios::binary) << content;
        return (m_path / name).string();
    }
    std::string Path() const { return m_path.string(); }
    std::string Full(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

struct SearchCase {
    const char* title;
    std::vector<std::string> files;
    std::string product;
    std::string expected; // file name, empty when the search must fail
};

class ConstructFallbackSearch : public testing::TestWithParam<SearchCase> {};

TEST_P(ConstructFallbackSearch, ChoosesTheExpectedFile) {
    TempDir dir;
    for (const std::string& f : GetParam().files)
        dir.Write(f);
    const std::string found = FindNewestConstructFile(dir.Path(), GetParam().product);
    EXPECT_EQ(found, GetParam().expected.empty() ? "" : dir.Full(GetParam().expected));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, ConstructFallbackSearch, testing::Values(
    SearchCase{"PreferenceBeatsVersion", {"KA40_v9.9.9.vmcon", "KM40X_v1.0.0.vmcon", "ZZ_v5.0.vmcon"}, "KM40X", "KM40X_v1.0.0.vmcon"},
    SearchCase{"PreferenceIgnoresCase", {"KA40_v9.0.vmcon", "km40x_v1.0.vmcon"}, "KM40X", "km40x_v1.0.vmcon"},
    SearchCase{"TenthMinorIsNewerThanNinth", {"KM40X_v1.9.5.vmcon", "KM40X_v1.10.0.vmcon"}, "KM40X", "KM40X_v1.10.0.vmcon"},
    SearchCase{"PatchIsReadAsDecimalPlaces", {"KM40X_v1.2.10.vmcon", "KM40X_v1.2.9.vmcon"}, "KM40X", "KM40X_v1.2.9.vmcon"},
    SearchCase{"TextFileTakesPart", {"KM40X_v1.4.0.vmcon", "KM40X_v1.5.txt"}, "KM40X", "KM40X_v1.5.txt"},
    SearchCase{"SuffixIgnoresCase", {"KM40X_v1.4.VMCON", "KM40X_v1.3.TXT"}, "KM40X", "KM40X_v1.4.VMCON"},
    SearchCase{"OtherFilesAreNoCandidates", {"KM40X_v9.0.vmcon.bak", "KM40X_v9.0.ebl", "KM40X_v1.0.vmcon"}, "KM40X", "KM40X_v1.0.vmcon"},
    SearchCase{"EmptyProductPrefersEveryFile", {"KA40_v1.0.vmcon", "KM40X_v3.0.vmcon", "ZB_v2.0.txt"}, "", "KM40X_v3.0.vmcon"},
    SearchCase{"OtherProductWhenNoneIsPreferred", {"KA40_v1.0.vmcon", "ZB_v2.0.vmcon"}, "KM40X", "ZB_v2.0.vmcon"},
    SearchCase{"PreferredVersionZeroDisplacesTheBestAndFails", {"AAA_v5.0.vmcon", "KM40X_beta.vmcon"}, "KM40X", ""},
    SearchCase{"PreferredVersionZeroThenABetterPreferredFile", {"AAA_v5.0.vmcon", "KM40X_beta.vmcon", "KM40X_v1.0.vmcon"}, "KM40X", "KM40X_v1.0.vmcon"},
    SearchCase{"EqualVersionsKeepTheEarlierName", {"KM40X_v1.2.vmcon", "km40x_v1.2.txt"}, "KM40X", "km40x_v1.2.txt"},
    SearchCase{"EarlierMeansInUpperCaseOrder", {"KM40X_v1.2.vmcon", "KM40Xa_v1.2.vmcon"}, "KM40X", "KM40Xa_v1.2.vmcon"},
    SearchCase{"NoVersionAnywhereFails", {"KM40X.vmcon", "notes.txt"}, "KM40X", ""},
    SearchCase{"EmptyDirectoryFails", {}, "KM40X", ""}),
    [](const testing::TestParamInfo<SearchCase>& param) { return param.param.title; });
// clang-format on

TEST(ConstructFallbackDirectory, SkipsDirectoriesAndMissingDirectories) {
    TempDir dir;
    fs::create_directory(fs::path(dir.Path()) / "KM40X_v9.0.vmcon");
    dir.Write("KM40X_v1.0.vmcon");
    EXPECT_EQ(FindNewestConstructFile(dir.Path(), "KM40X"), dir.Full("KM40X_v1.0.vmcon"));
    EXPECT_EQ(FindNewestConstructFile(dir.Full("missing"), "KM40X"), "");
}

struct VersionCase {
    const char* name;
    double version;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << '"' << c.name << '"';
}

class ConstructVersionRule : public testing::TestWithParam<VersionCase> {};

TEST_P(ConstructVersionRule, ReadsTheVersionFromTheName) {
    EXPECT_DOUBLE_EQ(ConstructFileVersion(GetParam().name), GetParam().version) << GetParam().name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Examples, ConstructVersionRule, testing::Values(
    VersionCase{"KM40X_v1.2.3.vmcon", 1000000.0 + 2.3},
    VersionCase{"KM40X_v1.10.0.vmcon", 1000000.0 + 10.0},
    VersionCase{"KM40X_v1.2.10.vmcon", 1000000.0 + 2.1},
    VersionCase{"KM40X_v3000.1.vmcon", 3000000000.0 + 1.0}, // no 32-bit overflow
    VersionCase{"KM40X_v.5.vmcon", 5.0},
    VersionCase{"KM40X_v1.vmcon", 1000000.0},
    VersionCase{"KM40X_v1.2e5.vmcon", 1000002.0},           // no exponent
    VersionCase{"1.5.txt", 1000005.0},                      // no "v": scan from the start
    VersionCase{"KA40_1.0.2.vmcon", 0.0},                   // the first "v" is in ".vmcon"
    VersionCase{"Dev_v1.0.vmcon", 0.0},                     // ... or in the product name
    VersionCase{"KM40X_V1.2.vmcon", 0.0},                   // "v" is exact case
    VersionCase{"KM40X_v1_2.vmcon", 0.0}),
    [](const auto& c) {
        std::string name = "Case" + std::to_string(c.index) + "_";
        for (const char* p = c.param.name; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });
// clang-format on

TEST(ConstructFileRead, ReadsAtMost64KiBUpToTheFirstZeroByte) {
    TempDir dir;
    bool ok = false;

    const std::string big(70000, 'a');
    EXPECT_EQ(ReadConstructFile(dir.Write("big.vmcon", big), &ok), big.substr(0, 65536));
    EXPECT_TRUE(ok);

    const char raw[] = "[G/N]16;\0[H/M]16;";
    EXPECT_EQ(ReadConstructFile(dir.Write("zero.vmcon", std::string(raw, sizeof raw - 1)), &ok),
              "[G/N]16;");
    EXPECT_TRUE(ok);

    EXPECT_EQ(ReadConstructFile(dir.Write("empty.vmcon", ""), &ok), "");
    EXPECT_TRUE(ok);
}

TEST(ConstructFileRead, FailsForMissingFilesAndDirectories) {
    TempDir dir;
    bool ok = true;
    EXPECT_EQ(ReadConstructFile(dir.Full("missing.vmcon"), &ok), "");
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(ReadConstructFile(dir.Path(), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadConstructFile(dir.Path(), nullptr), "");
}

} // namespace
