// The profile file layer against files written and read by an independent INI implementation
// (Python's configparser), and the lookup rules of the system's profile functions.
#include "platform/ProfileFile.h"
#include "tests/support/PtyPeer.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using vireo::CProfileFile;

std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int RunPeer(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::string command = Quoted(VIREO_PYTHON) + " " + Quoted(VIREO_INI_PEER);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output)
            output->append(buffer, n);
    return pclose(pipe);
}

class ProfileFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }
    vireo::test::CTempPortDir dir;
};

struct Key {
    std::string section, key, value;
};

// What configparser writes ("key = value", keys lower-cased, LF or CR LF) is read back key by
// key, whatever the case of the name asked for.
TEST_F(ProfileFileTest, ReadsWhatConfigparserWrote) {
    const std::vector<Key> keys = {
        {"Firmware", "Version", "KA40_v1.1.0.vmcon"}, {"Firmware", "Num_of_saves", "2"},
        {"0", "Name", "Network Settings/PAN ID"},     {"0", "Command", "AT+PANID=1A2B"},
        {"1", "Name", "Node/Node Name: 100% sure"},   {"1", "Command", "AT+NODENAME=a=b c"},
    };
    for (const bool keepCase : {false, true}) {
        std::vector<std::string> args = {"write", Path("peer.zgb")};
        if (keepCase)
            args.push_back("--keep-case");
        for (const Key& k : keys)
            args.insert(args.end(), {k.section, k.key, k.value});
        ASSERT_EQ(0, RunPeer(args));
        CProfileFile file;
        ASSERT_TRUE(file.Load(Path("peer.zgb")));
        for (const Key& k : keys) {
            std::string upper = k.key;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(k.value, file.GetString(k.section, k.key).value_or("<absent>")) << k.key;
            EXPECT_EQ(k.value, file.GetString(k.section, upper).value_or("<absent>")) << k.key;
        }
        EXPECT_EQ("KA40_v1.1.0.vmcon",
                  vireo::GetProfileString("FIRMWARE", "version", "", Path("peer.zgb")));
    }
}

// What this layer writes, with the empty line behind a value that ends in CR LF, is what
// configparser reads, in the order written.
TEST_F(ProfileFileTest, WritesWhatConfigparserReads) {
    const std::string path = Path("ours.zgb");
    ASSERT_TRUE(vireo::WriteWholeFile(path, ""));
    ASSERT_TRUE(vireo::WriteProfileString("Firmware", "Version", "KA40_v1.1.0.vmcon", path));
    ASSERT_TRUE(vireo::WriteProfileString("0", "Name", "Network Settings/PAN ID", path));
    ASSERT_TRUE(vireo::WriteProfileString("0", "Command", "AT+PANID=1A2B\r\n", path));
    ASSERT_TRUE(vireo::WriteProfileString("1", "Name", "Node/Node Name", path));
    ASSERT_TRUE(vireo::WriteProfileString("1", "Command", "AT+NODENAME=x = y\r\n", path));
    ASSERT_TRUE(vireo::WriteProfileString("Firmware", "Num_of_saves", "2", path));

    CProfileFile file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ("[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\nNum_of_saves=2\r\n"
              "[0]\r\nName=Network Settings/PAN ID\r\nCommand=AT+PANID=1A2B\r\n\r\n"
              "[1]\r\nName=Node/Node Name\r\nCommand=AT+NODENAME=x = y\r\n\r\n",
              file.Text());
    std::string listing;
    ASSERT_EQ(0, RunPeer({"read", path}, &listing));
    EXPECT_EQ("Firmware\tVersion\tKA40_v1.1.0.vmcon\nFirmware\tNum_of_saves\t2\n"
              "0\tName\tNetwork Settings/PAN ID\n0\tCommand\tAT+PANID=1A2B\n"
              "1\tName\tNode/Node Name\n1\tCommand\tAT+NODENAME=x = y\n",
              listing);
}

TEST(ProfileLookup, FollowsTheRulesOfTheSystemProfileFunctions) {
    const char* const text = "orphan=before any section\r\n"
                             "[ Main ]\r\n"
                             "  Key  =  padded value  \r\n"
                             "key=second key line of the same name\r\n"
                             "quoted=\"in quotes\"\r\n"
                             "single='in single quotes'\r\n"
                             "half=\"open quote\r\n"
                             "no equals sign here\r"
                             "cr=after a lone CR\n"
                             "empty=\r\n"
                             "[main]\r\n"
                             "later=in the second section of the same name\r\n"
                             "[Other]\r\n"
                             "key=other\r\n";
    CProfileFile file;
    file.Parse(text);
    const std::map<std::pair<std::string, std::string>, std::optional<std::string>> expected = {
        {{"Main", "key"}, "padded value"},   {{"MAIN", "KEY"}, "padded value"},
        {{"main", "quoted"}, "in quotes"},   {{"main", "single"}, "in single quotes"},
        {{"main", "half"}, "\"open quote"},  {{"main", "no equals sign here"}, std::nullopt},
        {{"main", "cr"}, "after a lone CR"}, {{"main", "empty"}, ""},
        {{"main", "later"}, std::nullopt},   {{"main", "orphan"}, std::nullopt},
        {{"other", "key"}, "other"},         {{"absent", "key"}, std::nullopt},
    };
    for (const auto& [where, value] : expected)
        EXPECT_EQ(value, file.GetString(where.first, where.second))
            << where.first << "/" << where.second;
    EXPECT_EQ(3, file.SectionCount());
}

TEST(ProfileWriting, ReplacesTheFirstKeyKeepsBlankLinesAndRefusesLineBreaks) {
    CProfileFile file;
    file.Parse("; comment\r\n\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(file.WriteString("a", "X", "3"));
    EXPECT_TRUE(file.WriteString("A", "z", "4"));
    EXPECT_TRUE(file.WriteString("C", "w", "5"));
    EXPECT_EQ("; comment\r\n\r\n[A]\r\nX=3\r\nz=4\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=5\r\n",
              file.Text());

    const std::string before = file.Text();
    const std::vector<std::vector<std::string>> refused = {
        {"A", "x", "1\r\n[B]\r\ny=injected"},
        {"A", "x", "1\ny=2"},
        {"A", "x", "1\r"},
        {"A\r\n[B", "x", "1"},
        {"A", "x\n", "1"},
        {"A]", "x", "1"},
        {"A", "x=y", "1"},
        {"A", "", "1"},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(file.WriteString(r[0], r[1], r[2])) << r[0] << "|" << r[1] << "|" << r[2];
    EXPECT_EQ(before, file.Text());
}

TEST(ProfileLookup, BinaryTextNeverBreaksTheReader) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    junk += std::string("\n[Firmware]\r\nVersion=a\0b\r\n", 25);
    CProfileFile file;
    file.Parse(junk);
    EXPECT_EQ(std::string("a\0b", 3), file.GetString("Firmware", "Version").value_or(""));
    EXPECT_TRUE(file.WriteString("Firmware", "Version", "c"));
}

TEST_F(ProfileFileTest, MissingFileGivesTheFallbackAndUnwritablePathFails) {
    EXPECT_EQ("fallback", vireo::GetProfileString("A", "b", "fallback", Path("absent.ini")));
    EXPECT_FALSE(vireo::WriteProfileString("A", "b", "c", Path("no/such/dir/file.ini")));
    CProfileFile file;
    EXPECT_FALSE(file.Load(Path("absent.ini")));
}

} // namespace
