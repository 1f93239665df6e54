// x_ofstream: the system's output file stream.
#include "base/x_ofstream.h"

x_ofstream::x_ofstream() : std::ostream(nullptr) { rdbuf(&buf_); }

x_ofstream::~x_ofstream() { buf_.close(); }

void x_ofstream::close() {
    if (!buf_.close())
        setstate(std::ios_base::failbit);
}

void FILE_open_ofstream(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode,
                        int share) {
    (void)share;
    if (!stream.file_buffer()->open(path, mode | std::ios_base::out))
        stream.setstate(std::ios_base::failbit);
    else
        stream.clear();
}
