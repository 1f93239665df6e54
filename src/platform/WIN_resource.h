// WIN_resource: resources embedded in the executable at build time (type "GUI_RES").
#pragma once
#include <cstddef>
#include <string>

// One row of the table that the build generates for each executable; the table ends with a null name.
struct aerivon_resource {
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};
extern const aerivon_resource aerivon_resources[];

// The bytes of the embedded resource named `name` (ASCII case ignored, as Windows does) and its size;
// null (size 0) when there is no such resource. The bytes live as long as the program.
const unsigned char* WIN_load_gui_resource(const char* name, size_t* out_size);

// When `path` has at least 9 characters and begins with "RESOURCE:" (case-sensitive), removes that prefix
// and returns true; otherwise leaves it and returns false.
bool WIN_strip_resource_prefix(std::string& path);
