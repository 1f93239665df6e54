// APP_alert_box: the drawn alert, the modal screen 994 that APP_alert shows once graphics are up.
//
// | kind | shows                                     | dismissed by                       | then            |
// |------|-------------------------------------------|------------------------------------|-----------------|
// | 0    | the language chooser: one radio per       | "Accept" or Return                  | return_screen |
// |      | available language, title "Language/"    |                                    |                 |
// | 1    | the four lines, "Understood"              | "Understood", Return or Esc        | return_screen   |
// | 2, 3 | the lines and "(file:line)", "Understood" | "Understood", Return or Esc        | APP_alert ends  |
// Each line wraps at nine tenths of the view, centred at its own height, and keeps to the rows above the next
// text (the last one to the rows above the panel's frame): a line that needs more shows its path (from its
// first '/' that starts a word) shortened in the middle, or else its end cut, with "…".
// A fourth line that is a link ("http://" and at least 8 characters) becomes a "Learn More" button that
// opens it and dismisses the alert. A quit requested while the alert shows (the window closed, SIGTERM)
// dismisses it as cancelled: the chooser restores the language it found. An alert raised once a quit was
// requested (while the exit saves the preferences) waits for the user as usual. Main thread only.
#pragma once
#include <string>

// Runs the alert's own frames until it is dismissed. Installed as APP_alert's drawn alert.
void APP_draw_alert(int return_screen, const std::string& line1, const std::string& line2,
                    const std::string& line3, const std::string& line4, int kind, const std::string& source);

// One pass of the alert on the current frame: draws it and returns true when it was dismissed in it. For
// kinds 0 and 1 a dismissal also makes `return_screen` current.
bool APP_alert_pass(int return_screen, const std::string* lines, int kind, const std::string& source);
// True when line 4 is drawn as a "Learn More" link.
bool APP_alert_is_link(const std::string& line4);
