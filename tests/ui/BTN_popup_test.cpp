// Popup buttons without a window: the items text and its '|' alert, and the drawn width per language.
#include <gtest/gtest.h>

#include "base/OPT_options.h"
#include "support/test_support.h"
#include "ui/BTN_popup.h"

namespace {

using v = std::vector<std::string>;

TEST(BtnPopupTest, ItemsAreSplitAtTheSeparator) {
    EXPECT_EQ(BTN_popup_items("Windows;Mac;Linux", "", ';'), (v{"Windows", "Mac", "Linux"}));
    EXPECT_EQ(BTN_popup_items("", "", ';'), (v{""}));
    EXPECT_EQ(BTN_popup_items("a;;b;", "", ';'), (v{"a", "", "b", ""}));
}

TEST(BtnPopupDeathTest, ABarInTheItemsIsAFatalAlert) {
    EXPECT_EXIT(
        {
            test::route_log_to_stderr();
            OPT_parse_only("--qa_script=script.txt");
            BTN_popup_items("one;t|wo", "OS|{tip", ';');
            std::_Exit(77);
        },
        ::testing::ExitedWithCode(1), "Found \\| char in text string!.*\n.*one;t\\|wo.*\n.*\n.*OS\\|\\{tip");
}

TEST(BtnPopupTest, DrawnWidthPerLanguage) {
    const struct {
        int language;
        float w, drawn;
    } rows[] = {{0, 100, 100}, {1, 100, 95},  {2, 100, 90},  {3, 100, 90}, {4, 100, 95},
                {5, 100, 95},  {6, 100, 100}, {7, 100, 100}, {2, 21, 20},  {0, 20, 20}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.language);
        EXPECT_FLOAT_EQ(BTN_popup_drawn_width(r.w, r.language), r.drawn);
    }
}

} // namespace
