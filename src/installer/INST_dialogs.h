// INST_dialogs: the alert for server files newer than this installer understands, and the modal question
// with two buttons that the pages and the cancel confirmations share (screen 997). Main thread only.
#pragma once
#include <string>

// The maker's web site as the texts name it, its order page and its demo download page.
inline constexpr const char INST_MAKER_WEB_SITE[] = "www.aerivon.example";
inline constexpr const char INST_ORDER_PAGE[] = "http://www.aerivon.example/order";
inline constexpr const char INST_DEMO_PAGE[] = "http://www.aerivon.example/demo";

// Shows the kind-1 alert (back to screen 0, source "utils" line 92) whose first three lines say that the
// servers hold newer formats and where to get a new installer, and whose fourth is `line4` (may be
// empty); then opens the demo download page in the web browser and asks the run loop to quit.
void INST_report_installer_too_old(const std::string& line4);

// Makes screen 997 current and runs it as a modal loop: the message, two push buttons (centre lines 58
// and 28, left edge 46, 100 wide or as wide as the longer label needs) with their explanations right of
// them. Returns 1 for the first button and 0 for the second, each after making screen 0 current
// again; 3 when another screen became current, or when a quit was requested (the window was closed)
// while it showed.
int INST_two_button_dialog(const std::string& message, const std::string& label1,
                           const std::string& explanation1, const std::string& label2,
                           const std::string& explanation2);
