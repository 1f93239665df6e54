// x_ofstream: the system's output file stream; the log stream and every saved text file are one.
#pragma once
#include <fstream>
#include <mutex>
#include <ostream>
#include <string>

class x_ofstream : public std::ostream {
  public:
    x_ofstream();
    ~x_ofstream() override;
    x_ofstream(const x_ofstream&) = delete;
    x_ofstream& operator=(const x_ofstream&) = delete;

    std::filebuf* file_buffer() { return &buf_; }
    bool is_open() const { return buf_.is_open(); }
    // Closes the file buffer; sets failbit when the close fails.
    void close();

  private:
    std::filebuf buf_;
};

// Opens the stream's file buffer on `path` (UTF-8, used as given by the caller after FILE_make_absolute)
// with `mode` | out. `share` is accepted for the interface; POSIX has no share modes. On failure the
// stream's failbit is set.
void FILE_open_ofstream(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode, int share);
