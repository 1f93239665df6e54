// INST_registration: the registration file that lists every copy of the simulator this user installed or
// pointed the installer to, and the known copies read from it.
//
// The file is "aerivon_install_10.txt" in the local application-data folder: plain text, one folder path
// per line, written with "\n" line ends and read with CR, LF or both. No header. Main thread only.
#pragma once
#include <string>
#include <vector>

// The registered folders that exist, in file order. Rebuilt by INST_read_registration_file; lives for the
// whole run.
extern std::vector<std::string> known_installs;

// The registration file's full path, or "" when the local application-data folder is unknown (the root
// folder, the lookup's answer when it fails, counts as unknown).
std::string INST_registration_file_path();

// Empties known_installs, then fills it with the file's lines that name an existing folder. Lines are
// read in pieces of at most 2,047 bytes (a longer line gives several entries) and cut at the first CR or
// LF. A missing file leaves the list empty without a word; an unknown data folder writes "WARNING:
// registration of this sim-root folder failed!" to the log.
void INST_read_registration_file();

// Appends the install folder, unchanged, as one line, unless a line equals it byte for byte already
// (case and a trailing '/' count). The file is made when missing. Failures are only logged: the unknown
// data folder as above, and so is a folder whose name holds a CR or LF (it cannot be one line); an append
// that cannot open as "WARNING: could not append registration file: " with the file's path.
void INST_register_install_folder();
