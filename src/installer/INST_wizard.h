// INST_wizard: the wizard frame and the page descriptions. The installer's whole interface is one page at a
// time on screen 0: the road's steps on the left, a title, a body, optional choice buttons, an optional
// progress bar with a status line, and the bottom row of word buttons.
//
// DESIGN: a page is a plain function that fills a fresh description every frame and may run one step of
// the engine; its address is its identity. The frame draws what the page described, then moves on:
// | event                                   | new current page                        |
// |-----------------------------------------|-----------------------------------------|
// | choice i clicked                        | choice target i                         |
// | QUIT clicked, confirmation not false    | none: the quit is requested             |
// | CONTINUE (or QUIT of a last page)       | next, when set                          |
// | GO BACK clicked                         | back, when set                          |
// | the page returned non-zero (last: wins) | next, when set                          |
// Pages never write current_page. Layout: the choices are push buttons centred on x 500, 28 apart from y 350
// down, 250 wide or as wide as the longest label needs (at most 560); the bottom row keeps QUIT and
// OPTIONS at the left, BUY ONLINE centred on 400 unless it would meet OPTIONS or GO BACK (then centred
// between them), and GO BACK and CONTINUE at the right. Main thread only, inside the frame callback.
#pragma once
#include <string>
#include <vector>

struct page_desc;
// A page: entered is 1 on the first frame it is shown after another page (or at start); a non-zero
// result asks the frame to go on to the described next page at once.
using page_fn = int (*)(int entered, page_desc* desc);

// What a page shows in one frame; the frame builds it empty before each page call.
struct page_desc {
    std::string title;
    std::string body;
    page_fn back = nullptr; // null disables GO BACK
    page_fn next = nullptr; // null disables CONTINUE and auto-advance; INST_page_quit makes it a QUIT button
    float progress = -1.0f; // 0..1; negative: no bar and no status line
    std::string status;
    int preferences = 0; // non-zero enables OPTIONS
    std::vector<std::string> choice_labels;
    std::vector<page_fn> choice_targets;
    bool (*cancel_confirmation)() = nullptr; // asked when QUIT is clicked; false keeps the program running
    float body_bottom = 60.0f; // the body ends above this line (starting higher when it would not)
};

// The page shown (null: quit) and the page shown in the last frame.
extern page_fn current_page;
extern page_fn previous_page;

// The road's steps, filled by the first page of each road; a step is highlighted while its page is
// current.
struct step_list_record {
    std::vector<page_fn> pages;
    std::vector<std::string> names;
};
extern step_list_record step_list;

// Requests the application's quit and returns 1. Used as a next target, it says that the road is done.
int INST_page_quit(int entered, page_desc* desc);

// Draws one frame of the wizard and acts on its buttons (see DESIGN). With "_log_actions" on, each page
// change is logged as "Wizard page: <title>".
void INST_wizard_frame();
// True when the last wizard frame showed a progress bar (which moves on its own) or changed the page.
bool INST_wizard_animates();

// The word button `item` of the UI atlas (0 QUIT, 1 GO BACK, 2 CONTINUE, 3 SELECT ALL, 4 SELECT NONE,
// 5 BUY ONLINE, 6 OPTIONS) at y, its word ending at x (align -1), centred on x (0) or starting at x (1).
// The button is the word's width + 20 wide (written to *width when given) and 22 high. `look` 2 is the
// dim look; `enabled` only decides whether hovering and holding show. Returns 1 in the frame in which a
// click lands on the word, whatever `enabled` says.
// A word wider than `max_width` (the button's width; 0: no limit) is drawn smaller to fit, centred on
// the row's middle line.
int INST_draw_text_button(float x, float y, int item, int align, float* width, int enabled, int look,
                          float max_width = 0.0f);

// The atlas columns of a word: edge[item] and edge[item + 1] of the language's column (Portuguese,
// Japanese and unknown languages use English).
void INST_word_columns(int item, int language, int* left, int* right);

// The progress bar's fill: its right edge for a progress value (at least 4 % of the 520-unit track from
// x 240, at most all of it).
float INST_progress_right(float progress);
