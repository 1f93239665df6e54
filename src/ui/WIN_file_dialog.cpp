// WIN_file_dialog: the backends of the file and folder choosers, in order, and the cancel rules.
#include "ui/WIN_file_dialog.h"

#include "base/FILE_ops.h"
#include "platform/WIN_dialog_process.h"

bool WIN_choose_file_or_folder(int mode, const std::string& prompt, const std::string& start_path,
                               std::string& path, const std::string& button) {
    std::string start = start_path.empty() ? WIN_home_folder() : start_path;
    FILE_make_absolute(start);
    if (start.back() != '/')
        start += '/';
    if (mode == 1 && !path.empty()) {
        std::string name;
        FILE_last_component(name, path);
        if (!name.empty() && name.back() != '/')
            start += name;
    }

    std::string answer;
    WIN_dialog_result r =
        WIN_run_dialog_process(WIN_zenity_arguments(mode, prompt, start), WIN_pump_dropping_input, answer);
    if (r == WIN_DIALOG_UNAVAILABLE)
        r = WIN_run_dialog_process(WIN_kdialog_arguments(mode, prompt, start, button),
                                   WIN_pump_dropping_input, answer);
    if (r == WIN_DIALOG_UNAVAILABLE)
        r = BTN_file_chooser(mode, prompt, start, answer, button) ? WIN_DIALOG_CONFIRMED
                                                                  : WIN_DIALOG_CANCELLED;

    if (r == WIN_DIALOG_CONFIRMED) {
        // The chooser's answer is a path the system names: its bytes are the folder, ':' and '\' included.
        if (mode == 2 && answer.back() != '/')
            answer += '/';
        path = answer;
        return true;
    }
    // Cancelled: the folder chooser leaves the path alone; the file dialogs hand back what their name
    // buffer held, which is empty for the open dialog and the suggested name for the save dialog.
    if (mode == 0)
        path.clear();
    return false;
}
