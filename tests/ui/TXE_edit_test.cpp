// Text-edit engine over the text field's own callbacks and a std::string, measured with FreeType (no
// window: the drawing slots are replaced by recorders).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/BTN_text_field.h"
#include "ui/OGL_font.h"
#include "ui/TXE_edit.h"

namespace {

// What the drawing slots were asked to draw, in order: "rect", "caret" or "text:<bytes>".
std::vector<std::string> drawn;
float narrow_width = 0.0f; // > 0: the text rectangle is this wide (the field's is width + 1024)

void record_text(text_edit_state&, float, float, const char* b, const char* e) {
    drawn.push_back("text:" + std::string(b, e));
}
void record_rect(text_edit_state&, const float r[4]) { drawn.push_back(r[0] == r[2] ? "caret" : "rect"); }
void narrow_text_rect(text_edit_state& s, float r[4]) {
    BTN_text_field_callbacks().text_rect(s, r);
    r[2] = r[0] + narrow_width;
}

class TxeEditTest : public ::testing::Test {
  protected:
    // A field at (100, 200), 80 wide, editing `text`.
    text_edit_state& edit(const std::string& initial, float text_width = 0.0f) {
        text = initial;
        BTN_text_field_bind(100.0f, 200.0f, 80.0f, &text);
        text_edit_callbacks cb = BTN_text_field_callbacks();
        cb.draw_text = record_text;
        cb.draw_rect = record_rect;
        narrow_width = text_width;
        if (text_width > 0.0f)
            cb.text_rect = narrow_text_rect;
        state.reset(TXE_create(cb, 0.0f));
        TXE_layout(*state);
        drawn.clear();
        return *state;
    }
    std::pair<int, int> selection() const { return {state->sel_start, state->sel_end}; }
    static float w(const std::string& s) { return OGL_measure_string(s); }

    std::string text;
    std::unique_ptr<text_edit_state> state;
};

TEST_F(TxeEditTest, LayoutBreaksAtWordsCutsOverLongWordsAtCharactersAndFollowsLineBreaks) {
    // Room for "alpha beta " but not for "gamma" after it.
    text_edit_state& s = edit("alpha beta gamma", w("alpha beta ") + 2.0f);
    EXPECT_EQ(s.line_starts, (std::vector<int>{0, 11}));

    // A word wider than the line: whole characters that fit, never a split UTF-8 sequence.
    std::string word;
    for (int i = 0; i < 20; ++i)
        word += "\xC3\xA9"; // é
    edit(word, w("\xC3\xA9\xC3\xA9\xC3\xA9") + 1.0f);
    ASSERT_GT(state->line_starts.size(), 1u);
    for (int start : state->line_starts)
        EXPECT_EQ(start % 6, 0) << "lines of three characters";

    // Narrower than one character: still one whole character per line.
    edit("\xC3\xA9\xC3\xA9", 1.0f);
    EXPECT_EQ(state->line_starts, (std::vector<int>{0, 2}));

    // CR and LF end a line after them; a closing line break opens an empty last line.
    edit("ab\ncd\ref\n");
    EXPECT_EQ(state->line_starts, (std::vector<int>{0, 3, 6, 9}));
}

TEST_F(TxeEditTest, BackspaceAndShiftArrows) {
    text_edit_state& s = edit("abcdef");
    TXE_key(s, 8, 0);
    EXPECT_EQ(text, "abcdef");
    EXPECT_EQ(BTN_text_field_inspect().modified, 0) << "Backspace at offset 0 changes nothing";

    TXE_set_selection(s, 3, 3);
    TXE_key(s, 29, 1);
    EXPECT_EQ(selection(), std::make_pair(3, 4));
    TXE_key(s, 28, 1);
    EXPECT_EQ(selection(), std::make_pair(3, 3)) << "the selection shrinks";
    TXE_key(s, 28, 1);
    EXPECT_EQ(selection(), std::make_pair(2, 3)) << "then extends to the left";
    EXPECT_EQ(s.active_end, 0);
    TXE_key(s, 8, 0);
    EXPECT_EQ(text, "abdef");
    EXPECT_EQ(selection(), std::make_pair(2, 2));
    EXPECT_EQ(BTN_text_field_inspect().modified, 1);
}

TEST_F(TxeEditTest, VerticalMovesKeepThePreferredX) {
    text_edit_state& s = edit("abcdef\nab\nabcdef");
    TXE_set_selection(s, 5, 5);
    TXE_key(s, 31, 0);
    EXPECT_EQ(selection(), std::make_pair(9, 9)) << "end of the short line, before its line break";
    TXE_key(s, 31, 0);
    EXPECT_EQ(selection(), std::make_pair(15, 15)) << "back under the first column";
    TXE_key(s, 30, 0);
    TXE_key(s, 30, 0);
    EXPECT_EQ(selection(), std::make_pair(5, 5));
    TXE_key(s, 30, 0);
    EXPECT_EQ(selection(), std::make_pair(0, 0)) << "above the first line";
}

TEST_F(TxeEditTest, ReplaceMovesTheSelectionWithTheEdit) {
    text_edit_state& s = edit("hello world");
    TXE_set_selection(s, 6, 11);
    TXE_replace(s, 6, 11, "there!");
    EXPECT_EQ(text, "hello there!");
    EXPECT_EQ(selection(), std::make_pair(6, 12)) << "pasted text over a selection ends up selected";

    TXE_set_selection(s, 5, 5);
    TXE_replace(s, 5, 5, ",");
    EXPECT_EQ(text, "hello, there!");
    EXPECT_EQ(selection(), std::make_pair(6, 6)) << "over no selection the cursor ends after it";

    TXE_set_selection(s, 0, 2);
    TXE_replace(s, 7, 13, "");
    EXPECT_EQ(selection(), std::make_pair(0, 2)) << "a selection before the range stays";
}

TEST_F(TxeEditTest, ClickPlacesTheCursorAndExtendMovesTheNearerEnd) {
    text_edit_state& s = edit("abcdefgh");
    const float base = 199.0f + 4.0f; // inside the line
    auto x_of = [&](int offset) { return 100.0f + w(text.substr(0, offset)) + 0.5f; };
    TXE_click(s, x_of(4), base, 0);
    EXPECT_EQ(selection(), std::make_pair(4, 4));
    TXE_click(s, x_of(6), base, 1);
    EXPECT_EQ(selection(), std::make_pair(4, 6));
    EXPECT_EQ(s.active_end, 1);
    TXE_click(s, x_of(2), base, 1);
    EXPECT_EQ(selection(), std::make_pair(2, 6));
    EXPECT_EQ(s.active_end, 0);
    TXE_drag(s, x_of(1), base);
    EXPECT_EQ(selection(), std::make_pair(1, 6));
    TXE_click(s, 90.0f, base + 30.0f, 0);
    EXPECT_EQ(selection(), std::make_pair(0, 0)) << "above the text";
    TXE_click(s, 90.0f, base - 30.0f, 0);
    EXPECT_EQ(selection(), std::make_pair(8, 8)) << "below the last line";
}

TEST_F(TxeEditTest, CursorIsScrolledIntoView) {
    std::string long_text(40, 'm');
    text_edit_state& s = edit(long_text);
    TXE_set_selection(s, 40, 40);
    EXPECT_FLOAT_EQ(BTN_text_field_inspect().scroll_x, w(long_text) - 80.0f);
    TXE_set_selection(s, 2, 2);
    EXPECT_FLOAT_EQ(BTN_text_field_inspect().scroll_x, w("mm"));
    TXE_set_selection(s, 3, 3); // within the field: no change
    EXPECT_FLOAT_EQ(BTN_text_field_inspect().scroll_x, w("mm"));
    EXPECT_FLOAT_EQ(BTN_text_field_inspect().scroll_y, 0.0f);
}

TEST_F(TxeEditTest, DrawsSelectionThenLinesThenCaret) {
    text_edit_state& s = edit("one\ntwo");
    TXE_set_selection(s, 2, 5);
    TXE_draw(s, 1);
    EXPECT_EQ(drawn, (std::vector<std::string>{"rect", "text:one\n"})) << "only the visible line, no caret";
    drawn.clear();
    TXE_set_selection(s, 1, 1);
    TXE_draw(s, 1);
    EXPECT_EQ(drawn, (std::vector<std::string>{"text:one\n", "caret"}));
}

} // namespace
