// x_ofstream: the system's output file stream over a close-on-exec POSIX descriptor.
#include "base/x_ofstream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using lock_guard = std::lock_guard<std::recursive_mutex>;

x_filebuf::x_filebuf(std::recursive_mutex* lock) : lock_(lock ? lock : &own_lock_) {}

x_filebuf::~x_filebuf() {
    lock_guard g(*lock_);
    if (fd_ >= 0)
        close();
}

bool x_filebuf::is_open() const {
    lock_guard g(*lock_);
    return fd_ >= 0;
}

// The open flags std::filebuf gives each mode (its fopen table); -1 for a mode it refuses.
static int open_flags(std::ios_base::openmode mode) {
    using std::ios_base;
    const ios_base::openmode m = mode & (ios_base::in | ios_base::out | ios_base::trunc | ios_base::app);
    if (m == ios_base::out || m == (ios_base::out | ios_base::trunc))
        return O_WRONLY | O_CREAT | O_TRUNC;
    if (m == ios_base::app || m == (ios_base::out | ios_base::app))
        return O_WRONLY | O_CREAT | O_APPEND;
    if (m == (ios_base::in | ios_base::out))
        return O_RDWR;
    if (m == (ios_base::in | ios_base::out | ios_base::trunc))
        return O_RDWR | O_CREAT | O_TRUNC;
    if (m == (ios_base::in | ios_base::app) || m == (ios_base::in | ios_base::out | ios_base::app))
        return O_RDWR | O_CREAT | O_APPEND;
    return -1;
}

bool x_filebuf::open(const std::string& path, std::ios_base::openmode mode, bool through_links) {
    lock_guard g(*lock_);
    const int flags = open_flags(mode);
    if (fd_ >= 0 || flags < 0)
        return false;
    // Without links, the file is emptied only once it is known to have no other name.
    const int open_with = through_links ? flags : (flags & ~O_TRUNC) | O_NOFOLLOW;
    int fd;
    do
        fd = ::open(path.c_str(), open_with | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st;
    const auto fail = [fd](int error) {
        ::close(fd);
        errno = error;
        return false;
    };
    if (!through_links && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (st.st_nlink > 1)
            return fail(EMLINK);
        if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0)
            return fail(errno);
    }
    if ((mode & std::ios_base::ate) && ::lseek(fd, 0, SEEK_END) < 0)
        return fail(errno);
    fd_ = fd;
    failed_ = false;
    used_ = 0;
    return true;
}

bool x_filebuf::close() {
    lock_guard g(*lock_);
    if (fd_ < 0)
        return false;
    bool ok = drain();
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    if (::close(fd_) != 0)
        ok = false;
    fd_ = -1;
    used_ = 0;
    return ok;
}

bool x_filebuf::write_all(const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd_, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            failed_ = true;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool x_filebuf::drain() {
    if (failed_)
        return false;
    const size_t n = used_;
    used_ = 0;
    return write_all(buf_, n);
}

x_filebuf::int_type x_filebuf::overflow(int_type c) {
    lock_guard g(*lock_);
    if (fd_ < 0 || failed_)
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return drain() ? traits_type::not_eof(c) : traits_type::eof();
    if (used_ == buffer_size && !drain())
        return traits_type::eof();
    buf_[used_++] = traits_type::to_char_type(c);
    return c;
}

std::streamsize x_filebuf::xsputn(const char* s, std::streamsize n) {
    lock_guard g(*lock_);
    if (fd_ < 0 || failed_ || n <= 0)
        return 0;
    const size_t len = static_cast<size_t>(n);
    if (used_ + len <= buffer_size) {
        std::memcpy(buf_ + used_, s, len);
        used_ += len;
        return n;
    }
    // Too big to join the buffer: write the buffer, then the text itself, still under the lock so
    // that the text stands whole in the file.
    if (!drain() || !write_all(s, len))
        return 0;
    return n;
}

int x_filebuf::sync() {
    lock_guard g(*lock_);
    if (fd_ < 0)
        return 0;
    return drain() ? 0 : -1;
}

x_filebuf::pos_type x_filebuf::seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) {
    lock_guard g(*lock_);
    if (fd_ < 0 || !drain())
        return pos_type(off_type(-1));
    const int whence = dir == std::ios_base::beg ? SEEK_SET : dir == std::ios_base::cur ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(fd_, static_cast<off_t>(off), whence);
    return r < 0 ? pos_type(off_type(-1)) : pos_type(static_cast<off_type>(r));
}

x_filebuf::pos_type x_filebuf::seekpos(pos_type pos, std::ios_base::openmode which) {
    return seekoff(off_type(pos), std::ios_base::beg, which);
}

x_ofstream::x_ofstream() : std::ostream(nullptr) { rdbuf(&buf_); }

x_ofstream::x_ofstream(std::recursive_mutex* lock) : std::ostream(nullptr), buf_(lock) { rdbuf(&buf_); }

x_ofstream::~x_ofstream() = default;

void x_ofstream::close() {
    // A buffer set in front of the file's own (the log's line buffer) hands on what it holds first.
    if (rdbuf() && rdbuf() != &buf_)
        rdbuf()->pubsync();
    if (!buf_.close())
        setstate(std::ios_base::failbit);
}

namespace {

void open_stream(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode,
                 bool through_links) {
    if (stream.file_buffer()->open(path, mode | std::ios_base::out, through_links))
        stream.clear();
    else
        stream.setstate(std::ios_base::failbit);
}

} // namespace

void FILE_open_ofstream(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode,
                        int share) {
    (void)share;
    open_stream(stream, path, mode, true);
}

void FILE_open_ofstream_no_links(x_ofstream& stream, const std::string& path, std::ios_base::openmode mode) {
    open_stream(stream, path, mode, false);
}
