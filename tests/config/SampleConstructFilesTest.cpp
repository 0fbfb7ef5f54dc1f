// Every sample construct file shipped in data/ must parse into sound records: a broken
// sample shows up here instead of as an odd tree on the bench.
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(VIREO_DATA_DIR, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".vmcon")
            files.push_back(it->path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

size_t Count(const char* text, char c) {
    return static_cast<size_t>(std::count(text, text + std::strlen(text), c));
}

template <size_t N> bool Fits(const char (&field)[N]) {
    return std::strlen(field) < N - 1;
}

TEST(SampleConstructFiles, AtLeastOneIsShipped) {
    EXPECT_FALSE(SampleFiles().empty()) << "no *.vmcon in " << VIREO_DATA_DIR;
}

class SampleConstructFile : public testing::TestWithParam<std::string> {};

TEST_P(SampleConstructFile, ParsesIntoSoundRecords) {
    const std::string path = std::string(VIREO_DATA_DIR) + "/" + GetParam();
    EXPECT_LE(fs::file_size(path), kMaxConstructFileBytes);
    EXPECT_GT(ConstructFileVersion(GetParam()), 0.0) << "the fallback search would never pick it";

    bool ok = false;
    const std::string text = ReadConstructFile(path, &ok);
    ASSERT_TRUE(ok);

    auto local = std::make_unique<CConstructData>();
    local->ParseConstructText(text, false);
    local->BuildGroupTable();
    EXPECT_GE(local->m_nParams, 40);
    EXPECT_GE(local->m_nGroups, 6);

    const std::set<int32_t> types = {PT_10, PT_16, PT_STRING, PT_GET};
    int security = 0;
    for (int i = 0; i < local->m_nParams; ++i) {
        const ConfigParam& p = local->m_params[i];
        SCOPED_TRACE(std::string(p.group) + "/" + p.name);
        EXPECT_NE(p.group[0], '\0');
        EXPECT_NE(p.name[0], '\0');
        EXPECT_TRUE(types.count(p.type)) << "type " << p.type;
        // Command: "AT..." and exactly one line end, at its end.
        const std::string command = p.command;
        ASSERT_GE(command.size(), 4u);
        EXPECT_TRUE(std::toupper(static_cast<unsigned char>(command[0])) == 'A' &&
                    std::toupper(static_cast<unsigned char>(command[1])) == 'T')
            << command;
        EXPECT_EQ(command.find('\r'), command.size() - 2) << command;
        EXPECT_EQ(command.find('\n'), command.size() - 1) << command;
        // Lists: only on type 10, values matching choices one for one.
        if (p.choiceList[0] != '\0') {
            EXPECT_EQ(p.type, PT_10);
            EXPECT_EQ(p.width, 0);
        }
        if (p.valueList[0] != '\0') {
            EXPECT_NE(p.choiceList[0], '\0');
            EXPECT_EQ(Count(p.choiceList, ':'), Count(p.valueList, ':'));
        }
        EXPECT_EQ(p.rangeMin[0] == '\0', p.rangeMax[0] == '\0');
        EXPECT_TRUE(Fits(p.group) && Fits(p.name) && Fits(p.choiceList) && Fits(p.valueList) &&
                    Fits(p.rangeMin) && Fits(p.rangeMax) && Fits(p.description))
            << "a field reaches its size limit";
        if (std::strcmp(p.group, "Security Settings") == 0)
            ++security;
    }
    EXPECT_GT(security, 0) << "no Security Settings group";

    // Every group forms one run, so the table has one row per group, each within the row.
    int inTable = 0;
    std::set<std::string> groups;
    for (int g = 0; g < local->m_nGroups; ++g) {
        const auto row = local->GroupRow(g);
        ASSERT_GE(row.size(), 2u) << "row " << g;
        EXPECT_LT(row.size(), static_cast<size_t>(kGroupRowEntries));
        EXPECT_TRUE(groups.insert(row[0]).second) << row[0] << " is split";
        inTable += static_cast<int>(row.size()) - 1;
    }
    EXPECT_EQ(inTable, local->m_nParams);

    auto remote = std::make_unique<CConstructData>();
    remote->ParseConstructText(text, true);
    EXPECT_EQ(remote->m_nParams, local->m_nParams - security);
    for (int i = 0; i < remote->m_nParams; ++i)
        EXPECT_STRNE(remote->m_params[i].group, "Security Settings");
}

INSTANTIATE_TEST_SUITE_P(Shipped, SampleConstructFile, testing::ValuesIn(SampleFiles()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SampleConstructFile);

// The shipped directory also holds firmware images and a CMakeLists.txt (a ".txt"
// candidate without version): for each product the fallback must still find one of that
// product's construct files, the newest of them.
TEST(SampleConstructFiles, FallbackFindsTheNewestFileOfEachProduct) {
    for (const std::string& file : SampleFiles()) {
        const std::string product = file.substr(0, file.find('_'));
        double newest = 0.0;
        for (const std::string& other : SampleFiles())
            if (other.substr(0, other.find('_')) == product)
                newest = std::max(newest, ConstructFileVersion(other));
        const std::string found =
            fs::path(FindNewestConstructFile(VIREO_DATA_DIR, product)).filename().string();
        EXPECT_EQ(found.substr(0, found.find('_')), product);
        EXPECT_EQ(ConstructFileVersion(found), newest) << found;
    }
}

} // namespace
