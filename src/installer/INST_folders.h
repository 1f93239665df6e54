// INST_folders: makes every folder an installation needs before anything is downloaded. Main thread only.
#pragma once
#include <string>

// Makes, in this order, each component of the install folder after its first '/' (the drive or the
// root is never made), every folder that holds a planned download of a wanted record (parents before
// children, in byte order), and the fixed folders "Output/", "Output/FMS plans", "Output/logbooks",
// "Output/replays", "Output/situations", "Resources/" and "Output/preferences". A folder that exists
// counts as made; something else at its path is ENOTDIR. Returns 0, or the error code of the first folder
// that could not be made, after INST_report_folder_error. On failure the folders this call made are removed
// again while they are empty, children first; a folder that existed before, or one with content, stays.
int INST_create_install_folders();

// The alert for a folder that could not be made ("utils", 180, kind 1), with the translated lines "I am
// unable to install or update Aerivon. An error occurred while creating new folders. Make sure you are
// installing to a directory that you have access to!", "Error: " + the error text of `code`, "Install
// Location: " + the install folder and "Install Path:" + `path`.
void INST_report_folder_error(const std::string& path, int code);
