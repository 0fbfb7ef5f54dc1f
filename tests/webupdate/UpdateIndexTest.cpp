// Index files of the update server: line ends, the marker, the names a Configs index may give,
// the firmware choice, and the server address.
#include "webupdate/UpdateIndex.h"
#include "webupdate/UpdateServer.h"

#include <gtest/gtest.h>

namespace {

using vireo::FindNewFirmware;
using vireo::IndexLines;
using vireo::PrepareIndex;

struct IndexCase {
    const char* what;
    std::string text;
    bool marker;
    std::vector<std::string> lines;
};

class IndexText : public testing::TestWithParam<IndexCase> {};

TEST_P(IndexText, GivesTheNonEmptyLinesAfterTheMarker) {
    std::string text = GetParam().text;
    EXPECT_EQ(GetParam().marker, PrepareIndex(text));
    if (GetParam().marker) {
        EXPECT_EQ(GetParam().lines, IndexLines(text));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Index, IndexText,
    testing::Values(IndexCase{"cr line ends, a blank line, no final line feed",
                              "TOLK\r\nKA40_v1.0.2.vmcon\r\n\r\nKD40 v1.vmcon",
                              true,
                              {"KA40_v1.0.2.vmcon", "KD40 v1.vmcon"}},
                    IndexCase{"lone carriage returns vanish", "TOLK\r\na\rb\n", true, {"ab"}},
                    IndexCase{"marker alone", "TOLK\n", true, {}},
                    IndexCase{"marker without its line feed", "TOLK", false, {}},
                    IndexCase{"marker in lower case", "tolk\nKA40.vmcon\n", false, {}},
                    IndexCase{"a byte before the marker", " TOLK\nKA40.vmcon\n", false, {}},
                    IndexCase{"an HTML page", "<html>TOLK\n</html>", false, {}},
                    IndexCase{"text after a zero byte is not read",
                              std::string("TOLK\na\n\0b\n", 10),
                              true,
                              {"a"}}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(SafeLocalName, OnlyNamesThatStayUnderTheProgramDirectory) {
    for (const char* good : {"KA40_v1.0.2.vmcon", "KD40 v1.vmcon", "a.b.c", ".hidden",
                             "sub/x.vmcon", "sub\\x.vmcon", "a..b", "a/b..c/d"})
        EXPECT_TRUE(vireo::IsSafeLocalName(good)) << good;
    for (const char* bad :
         {"", ".", "..", "../x.vmcon", "a/../b", "a\\..\\b", "/etc/passwd", "\\x.vmcon", "sub/",
          "a//b", "./x", "C:x.vmcon", "C:\\x", "tab\there", "bell\x7F"})
        EXPECT_FALSE(vireo::IsSafeLocalName(bad)) << bad;
}

struct FirmwareCase {
    const char* what;
    std::vector<std::string> lines;
    std::string product, version;
    bool available;
    std::string newVersion, fileName;
};

class FirmwareChoice : public testing::TestWithParam<FirmwareCase> {};

TEST_P(FirmwareChoice, OffersTheLastCountingLineUnlessTheDevicesVersionIsListed) {
    const FirmwareCase& c = GetParam();
    const vireo::FirmwareOffer offer = FindNewFirmware(c.lines, c.product, c.version);
    EXPECT_EQ(c.available, offer.available) << c.what;
    EXPECT_EQ(c.newVersion, offer.version) << c.what;
    EXPECT_EQ(c.fileName, offer.fileName) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Index, FirmwareChoice,
    testing::Values(FirmwareCase{"two newer lines: the second wins",
                                 {"KA40:1.1.0:KA40_v1.1.0.ebl", "KA40:1.2.0:KA40 v1.2.0.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 true,
                                 "1.2.0",
                                 "KA40 v1.2.0.ebl"},
                    FirmwareCase{"own version listed after others",
                                 {"KA40:1.2.0:a.ebl", "KA40:1.0.2:b.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 false,
                                 "",
                                 ""},
                    FirmwareCase{"own version listed before others",
                                 {"KA40:1.0.2:b.ebl", "KA40:1.2.0:a.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 false,
                                 "",
                                 ""},
                    FirmwareCase{"version prefix: 1.0 sees 1.0.1 as its own",
                                 {"KA40:1.0.1:a.ebl"},
                                 "KA40",
                                 "1.0",
                                 false,
                                 "",
                                 ""},
                    FirmwareCase{"product prefix: KA40 counts KA40X lines",
                                 {"KA40X:2.0:x.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 true,
                                 "2.0",
                                 "x.ebl"},
                    FirmwareCase{"other products only",
                                 {"KD40:2.0:d.ebl", "KM40X:2.0:m.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 false,
                                 "",
                                 ""},
                    FirmwareCase{"product compared case-sensitively",
                                 {"ka40:2.0:a.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 false,
                                 "",
                                 ""},
                    FirmwareCase{"file name keeps its colons and spaces",
                                 {"KA40:2.0: a:b.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 true,
                                 "2.0",
                                 " a:b.ebl"},
                    FirmwareCase{"lines naming no file are left out",
                                 {"KA40:1.0.2", "KA40:1.0.2:", "KA40", "KA40:2.0:n.ebl"},
                                 "KA40",
                                 "1.0.2",
                                 true,
                                 "2.0",
                                 "n.ebl"}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(UpdateServer, HostOverrideTakesHostAndPortOnly) {
    for (const char* good :
         {"localhost", "127.0.0.1:8080", "mirror.example.org:80", "[::1]:8000", "[::1]"})
        EXPECT_TRUE(vireo::IsValidUpdateHost(good)) << good;
    for (const char* bad : {"", "http://x", "x/y", "x:0", "x:65536", "x:", "x:8a", "a b", "[::1",
                            "[::1]8000", "x?y", "user@x", "-x"})
        EXPECT_FALSE(vireo::IsValidUpdateHost(bad)) << bad;
}

TEST(UpdateServer, FileNamesAreAppendedWithUnsafeBytesEscaped) {
    const std::string base = "http://h/download/software/vireo_manager/";
    EXPECT_EQ(base + "Configs", vireo::UpdateFileUrl(base, "Configs"));
    EXPECT_EQ(base + "KD40%20v1.vmcon", vireo::UpdateFileUrl(base, "KD40 v1.vmcon"));
    EXPECT_EQ(base + "fw/a%23b%3F%25.ebl", vireo::UpdateFileUrl(base, "fw/a#b?%.ebl"));
    EXPECT_EQ(base + "%E9", vireo::UpdateFileUrl(base, "\xE9"));
}

} // namespace
