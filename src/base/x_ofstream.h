// x_ofstream: the system's output file stream; the log stream and every saved text file are one.
//
// DESIGN: the stream owns an x_filebuf, a small buffer over a POSIX file descriptor. The descriptor is
// opened close-on-exec, so a started simulator or helper never inherits the log. The buffer keeps no
// put area of the stream's own: every byte goes through overflow or xsputn, which, like sync, seek,
// open and close, run under a recursive lock. The log hands its own lock to LOG_stream, so direct writes
// and the log's chunk writes never interleave within one insertion; other streams use a lock of their
// own. A failed write or close is sticky in the buffer and shows as the stream's bad or fail state.
#pragma once
#include <ios>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

class x_filebuf : public std::streambuf {
  public:
    // `lock` guards the buffer and the descriptor; null gives the buffer a lock of its own.
    explicit x_filebuf(std::recursive_mutex* lock = nullptr);
    ~x_filebuf() override;
    x_filebuf(const x_filebuf&) = delete;
    x_filebuf& operator=(const x_filebuf&) = delete;

    // Opens `path` for output with the std::filebuf rules for `mode` (out/trunc: create and truncate;
    // app: create and append; in|out: an existing file, not truncated; ate: start at the end).
    // Returns false (and stays closed) when the buffer is already open or the open fails. Without
    // `through_links`, a symbolic link at `path` is not followed (ELOOP) and a file that has other names
    // (hard links) is neither truncated nor written (EMLINK).
    bool open(const std::string& path, std::ios_base::openmode mode, bool through_links = true);
    // Writes what is buffered, then closes. False when it was not open, or a write or the close failed.
    bool close();
    bool is_open() const;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

  private:
    bool drain();
    bool write_all(const char* p, size_t n);

    static constexpr size_t buffer_size = 8192;
    std::recursive_mutex own_lock_;
    std::recursive_mutex* lock_;
    int fd_ = -1;
    bool failed_ = false; // a write failed since the open: later writes and syncs fail too
    size_t used_ = 0;
    char buf_[buffer_size];
};

class x_ofstream : public std::ostream {
  public:
    x_ofstream();
    // A stream whose buffer runs under `lock` (the log stream passes the log lock).
    explicit x_ofstream(std::recursive_mutex* lock);
    ~x_ofstream() override;
    x_ofstream(const x_ofstream&) = delete;
    x_ofstream& operator=(const x_ofstream&) = delete;

    x_filebuf* file_buffer() { return &buf_; }
    bool is_open() const { return buf_.is_open(); }
    // Writes what is buffered (in a buffer set in front of the file's with rdbuf too) and closes the file;
    // sets failbit when that fails or nothing was open.
    void close();

  private:
    x_filebuf buf_;
};

// Opens the stream's file on `path` (UTF-8, used as given; callers make it absolute first) with
// `mode` | out, close-on-exec. `share` is the Windows sharing flag, kept for the callers; POSIX has no
// share modes. Success clears the stream's state; failure sets failbit.
void FILE_open_ofstream(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode, int share);
// The same, for a file in a folder that others may write (the log on the desktop): never through a link
// planted at its name (see x_filebuf::open).
void FILE_open_ofstream_no_links(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode);
