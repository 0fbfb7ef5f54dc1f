// Index files of the update server: line ends, the marker, the names a Configs index may give,
// the firmware choice, and the server address.
#include "webupdate/UpdateIndex.h"
#include "webupdate/UpdateServer.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateIndex, GivesTheNonEmptyLinesAfterTheMarker) {
    struct Case {
        const char* what;
        std::string text;
        bool marker;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"cr line ends, a blank line, no final line feed",
         "TOLK\r\nKA40_v1.0.2.vmcon\r\n\r\nKD40 v1.vmcon",
         true,
         {"KA40_v1.0.2.vmcon", "KD40 v1.vmcon"}},
        {"lone carriage returns vanish", "TOLK\r\na\rb\n", true, {"ab"}},
        {"marker alone", "TOLK\n", true, {}},
        {"marker without its line feed", "TOLK", false, {}},
        {"marker in lower case", "tolk\nKA40.vmcon\n", false, {}},
        {"a byte before the marker", " TOLK\nKA40.vmcon\n", false, {}},
        {"text after a zero byte is not read", std::string("TOLK\na\n\0b\n", 10), true, {"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        EXPECT_EQ(c.marker, vireo::PrepareIndex(text));
        if (c.marker) {
            EXPECT_EQ(c.lines, vireo::IndexLines(text));
        }
    }
}

TEST(SafeLocalName, OnlyNamesThatStayUnderTheProgramDirectory) {
    for (const char* good : {"KA40_v1.0.2.vmcon", "KD40 v1.vmcon", "a.b.c", ".hidden",
                             "sub/x.vmcon", "sub\\x.vmcon", "a..b", "a/b..c/d"})
        EXPECT_TRUE(vireo::IsSafeLocalName(good)) << good;
    for (const char* bad :
         {"", ".", "..", "../x.vmcon", "a/../b", "a\\..\\b", "/etc/passwd", "\\x.vmcon", "sub/",
          "a//b", "./x", "C:x.vmcon", "C:\\x", "tab\there", "bell\x7F"})
        EXPECT_FALSE(vireo::IsSafeLocalName(bad)) << bad;
}

// The last line that counts for the device's product is offered, unless a line gives the
// device's own version.
TEST(UpdateIndex, OffersTheLastCountingFirmwareUnlessTheDevicesVersionIsListed) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::string version, offered, fileName; // offered: none when empty
    };
    const Case cases[] = {
        {"two newer lines: the second wins",
         {"KA40:1.1.0:KA40_v1.1.0.ebl", "KA40:1.2.0:KA40 v1.2.0.ebl"},
         "1.0.2",
         "1.2.0",
         "KA40 v1.2.0.ebl"},
        {"own version listed after others", {"KA40:1.2.0:a.ebl", "KA40:1.0.2:b.ebl"}, "1.0.2"},
        {"own version listed before others", {"KA40:1.0.2:b.ebl", "KA40:1.2.0:a.ebl"}, "1.0.2"},
        {"version prefix: 1.0 sees 1.0.1 as its own", {"KA40:1.0.1:a.ebl"}, "1.0"},
        {"product prefix: KA40 counts KA40X lines", {"KA40X:2.0:x.ebl"}, "1.0.2", "2.0", "x.ebl"},
        {"other products only", {"KD40:2.0:d.ebl", "KM40X:2.0:m.ebl"}, "1.0.2"},
        {"product compared case-sensitively", {"ka40:2.0:a.ebl"}, "1.0.2"},
        {"file name keeps its colons and spaces",
         {"KA40:2.0: a:b.ebl"},
         "1.0.2",
         "2.0",
         " a:b.ebl"},
        {"lines naming no file are left out",
         {"KA40:1.0.2", "KA40:1.0.2:", "KA40", "KA40:2.0:n.ebl"},
         "1.0.2",
         "2.0",
         "n.ebl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const vireo::FirmwareOffer offer = vireo::FindNewFirmware(c.lines, "KA40", c.version);
        EXPECT_EQ(!c.offered.empty(), offer.available);
        EXPECT_EQ(c.offered, offer.version);
        EXPECT_EQ(c.fileName, offer.fileName);
    }
}

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
