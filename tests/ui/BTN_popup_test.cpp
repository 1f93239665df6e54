// Popup buttons without a window: the '|' alert and the drawn width per language.
#include <gtest/gtest.h>

#include "base/OPT_options.h"
#include "support/test_support.h"
#include "ui/BTN_popup.h"

namespace {

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
    const float drawn[8] = {100, 95, 90, 90, 95, 95, 100, 100};
    for (int language = 0; language < 8; ++language)
        EXPECT_FLOAT_EQ(BTN_popup_drawn_width(100, language), drawn[language]) << language;
    EXPECT_FLOAT_EQ(BTN_popup_drawn_width(21, 2), 20) << "at least 20";
}

} // namespace
