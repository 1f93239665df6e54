// INST_stand_in_dvd: the drive walk, until the DVD road is part of the program: no drive is ever found.
#include "installer/INST_stand_ins.h"

std::string UTL_find_dvd_drive(bool (*)(const std::string&)) { return std::string(); }
