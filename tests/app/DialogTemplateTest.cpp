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
    ASSERT_TRUE(ParseDialogTemplate("# comment\n"
                                    "DIALOG 7 \"Two words\" 100 50\n"
                                    "LTEXT - \"Serial line\" 1 2 30 8\n"
                                    "COMBOBOX 1010 \"\" 1 12 30 90 DROPDOWN DISABLED "
                                    "label=\"Serial line\"\r\n"
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
    EXPECT_TRUE(combo->Has("DROPDOWN") && combo->Has("DISABLED") && !combo->Has("HIDDEN"));
    EXPECT_EQ("Serial line", combo->label);
    EXPECT_EQ(90, combo->height);
    EXPECT_EQ("a\nb", t.controls[2].text);
}

TEST(DialogTemplate, BrokenLinesAreReportedWithTheirNumber) {
    DialogTemplate t;
    std::string error;
    for (const char* text :
         {"LTEXT - \"x\" 1 2 3 4\n", // no header
          "DIALOG 1 \"x\" 1 1\nBUTTON x \"t\" 1 2 3 4\n",
          "DIALOG 1 \"x\" 1 1\nBUTTON 3 \"t\" 1 2 3\n", "DIALOG 1 \"x\" 1 1\nDIALOG 2 \"y\" 1 1\n"})
        EXPECT_FALSE(ParseDialogTemplate(text, t, &error)) << text;
    EXPECT_FALSE(ParseDialogTemplate("DIALOG 1 \"x\" 1 1\nLTEXT - \"open 1 2 3 4\n", t, &error));
    EXPECT_EQ("line 2: LTEXT - \"open 1 2 3 4", error);
}

// Every shipped form parses, its ids are unique, every control without text of its own names
// the label a person reads beside it, and every control fits the form's width.
TEST(DialogTemplate, ShippedFormsAreComplete) {
    int forms = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VIREO_FORMS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::stringstream text;
        text << std::ifstream(entry.path()).rdbuf();
        DialogTemplate t;
        std::string error;
        ASSERT_TRUE(ParseDialogTemplate(text.str(), t, &error)) << error;
        std::set<int> ids;
        for (const DialogControl& c : t.controls) {
            EXPECT_TRUE(c.id < 0 || ids.insert(c.id).second) << "id " << c.id;
            EXPECT_TRUE(c.id < 0 || c.kind == "GROUPBOX" || !c.text.empty() || !c.label.empty())
                << "id " << c.id;
            EXPECT_LE(c.x + c.width, t.width) << "id " << c.id;
        }
        ++forms;
    }
    EXPECT_EQ(10, forms);
}

} // namespace
