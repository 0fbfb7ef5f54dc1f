#include "res/DialogTemplate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

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
