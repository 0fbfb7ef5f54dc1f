// The bundle archive as other tools read it: the system's tar unpacks what was added, byte for
// byte, across more than one stored block; unsafe names never enter it.
#include "report/TarGz.h"
#include "tests/support/PtyPeer.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace vireo::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

TEST(TarGz, TheSystemsTarUnpacksEveryFileWhole) {
    CTempPortDir dir; // a private scratch folder
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big.push_back(static_cast<char>(i * 7 % 256)); // binary, over three stored blocks
    CTarGzWriter archive;
    ASSERT_TRUE(archive.AddFile("report.txt", "Vireo Manager\r\n", 1700000000));
    ASSERT_TRUE(archive.AddFile("logs/transcript.txt", big, 1700000000));
    ASSERT_TRUE(archive.AddFile("empty.txt", "", 0));
    std::ofstream(dir.Path() + "/b.tar.gz", std::ios::binary) << archive.Finish();
    ASSERT_EQ(0, std::system(("tar -xzf " + dir.Path() + "/b.tar.gz -C " + dir.Path()).c_str()));
    EXPECT_EQ("Vireo Manager\r\n", ReadAll(dir.Path() + "/report.txt"));
    EXPECT_EQ(big, ReadAll(dir.Path() + "/logs/transcript.txt"));
    EXPECT_EQ("", ReadAll(dir.Path() + "/empty.txt"));
    EXPECT_EQ(0xCBF43926u, Crc32("123456789")); // the check value of CRC-32
}

TEST(TarGz, NamesThatCouldLandOutsideTheFolderAreRefused) {
    CTarGzWriter archive;
    const std::string names[] = {"",    "/etc/passwd", "../x", "a/../../x",          "a//b",
                                 "./a", "a\nb",        "a/",   std::string(100, 'n')};
    for (const std::string& name : names)
        EXPECT_FALSE(archive.AddFile(name, "x", 0)) << name;
    EXPECT_TRUE(archive.AddFile(std::string(99, 'n'), "x", 0));
}

} // namespace
} // namespace vireo::test
