#include "res/DialogTemplate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

TEST(DialogTemplate, ParsesHeaderControlsFlagsAndLabels) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(
        ParseDialogTemplate("# comment\n"
                            "DIALOG 7 \"Two words\" 100 50\n"
                            "LTEXT - \"Serial line\" 1 2 30 8\n"
                            "COMBOBOX 1010 \"\" 1 12 30 90 DROPDOWN DISABLED label=\"Serial "
                            "line\"\r\n"
                            "LTEXT - \"a\\nb\" 0 0 1 1\n",
                            t, &error))
        << error;
    EXPECT_EQ(7, t.id);
    EXPECT_EQ("Two words", t.caption);
    ASSERT_EQ(3u, t.controls.size());
    EXPECT_EQ(-1, t.controls[0].id);
    const DialogControl* combo = t.Find(1010);
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ("COMBOBOX", combo->kind);
    EXPECT_TRUE(combo->Has("DROPDOWN"));
    EXPECT_TRUE(combo->Has("DISABLED"));
    EXPECT_FALSE(combo->Has("HIDDEN"));
    EXPECT_EQ("Serial line", combo->label);
    EXPECT_EQ(90, combo->height);
    EXPECT_EQ("a\nb", t.controls[2].text);
}

TEST(DialogTemplate, BrokenLinesAreReportedWithTheirNumber) {
    DialogTemplate t;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplate("LTEXT - \"x\" 1 2 3 4\n", t, &error)); // no header
    EXPECT_FALSE(ParseDialogTemplate("DIALOG 1 \"x\" 1 1\nLTEXT - \"open 1 2 3 4\n", t, &error));
    EXPECT_EQ("line 2: LTEXT - \"open 1 2 3 4", error);
    EXPECT_FALSE(ParseDialogTemplate("DIALOG 1 \"x\" 1 1\nBUTTON x \"t\" 1 2 3 4\n", t, &error));
    EXPECT_FALSE(ParseDialogTemplate("DIALOG 1 \"x\" 1 1\nBUTTON 3 \"t\" 1 2 3\n", t, &error));
    EXPECT_FALSE(ParseDialogTemplate("DIALOG 1 \"x\" 1 1\nDIALOG 2 \"y\" 1 1\n", t, &error));
}

// Every shipped form parses, its ids are unique, and every control without text of its own
// names the label a person reads beside it.
TEST(DialogTemplate, ShippedFormsAreComplete) {
    int forms = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VIREO_FORMS_DIR)) {
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        DialogTemplate t;
        std::string error;
        ASSERT_TRUE(ParseDialogTemplate(text.str(), t, &error)) << entry.path() << ": " << error;
        std::set<int> ids;
        for (const DialogControl& c : t.controls) {
            if (c.id >= 0) {
                EXPECT_TRUE(ids.insert(c.id).second) << entry.path() << " id " << c.id;
            }
            const bool named = !c.text.empty() || !c.label.empty();
            if (c.id >= 0 && c.kind != "GROUPBOX") {
                EXPECT_TRUE(named) << entry.path() << " id " << c.id;
            }
            EXPECT_LE(c.x + c.width, t.width) << entry.path() << " id " << c.id;
        }
        ++forms;
    }
    EXPECT_EQ(10, forms);
}

} // namespace
