// FILE_ops: paths and the file-system layer. Paths are UTF-8, '/'-separated, folders end in '/'; a relative
// path is relative to the Sim-Root folder.
#pragma once
#include <string>

// The simulator folder the program works on; empty after start-up.
extern std::string FILE_sim_root;

// Special folders: 0 executable's folder, 1 executable's path, 2 and 3 desktop, 4 work (temporary) folder,
// 5 local application data. Folders end in '/'.
void FILE_get_special_folder(int kind, std::string& out);
