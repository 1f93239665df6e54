// FILE_error_text: error codes to sentences.
#include "base/FILE_error_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unzip.h>

#include "base/LANG_localise.h"

namespace {

struct error_row {
    int code;
    const char* text;
};

// Read-only after static initialisation; any thread may read it.
const error_row error_table[] = {
    {20001, "We were unable to open a zip file. It may be missing or damaged"},
    {20002, "We were unable to read from a zip file (short-read error). It may be missing or damaged"},
    {20014, "The archive holds a name that leads outside the folder"},
    {20003, "We were unable to create a zip file"},
    {20004, "We were unable to write to a zip file. It may be missing or damaged"},
    // The codes of minizip (and of zlib beneath it) that a zip expansion returns.
    {UNZ_ERRNO, "The zip file could not be read. It may be cut short or damaged"},
    {Z_MEM_ERROR, "There was not enough memory to expand the zip file"},
    {UNZ_PARAMERROR, "The zip reader was called with a wrong parameter"},
    {UNZ_BADZIPFILE,
     "The zip file is damaged, or one of its files is compressed in a way the installer cannot read"},
    {UNZ_INTERNALERROR, "The zip reader failed, perhaps for want of memory"},
    {UNZ_CRCERROR, "A file in the zip archive is damaged: its checksum does not match"},
    {20005,
     "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source "
     "file is probably damaged"},
    {20006, "We could not open a file to read from it"},
    {20007, "We were unable to connct to the network due to an internal reconnect error"},
    {20008, "We wre unable to connect to the network due to a bad state error"},
    {20009, "We could not allocate a connection to the network"},
    {20010, "We could not write the incoming file from the web to disk"},
    {20011, "We could not find the server over the network"},
    {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {20013, "The server's answer ended early"},
    // Answers the HTTP client refuses by design.
    {20020,
     "The server sent the file in a transfer coding (such as chunked) that the installer does not accept"},
    {20021, "The server gave two different lengths for the file, or one the installer cannot read"},
    {20022, "The server's headers are longer than the installer accepts (64 KB)"},
    {20023, "The server sent the file without its length (Content-Length), which the installer needs"},
    // A request the HTTP client did not send: the proxy fields name no proxy it can use.
    {20024, "The proxy setting is not valid"},
    // Keyed by name: the numbers differ from one C library to the next.
    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    // The network's failures that users meet most, in the C library's words.
    {ECONNREFUSED, "Connection refused"},
    {ETIMEDOUT, "Connection timed out"},
    {ENETUNREACH, "Network is unreachable"},
    {EHOSTUNREACH, "No route to host"},
    {ECONNRESET, "Connection reset by peer"},
};

// strerror_r comes in two shapes; both end up as a pointer to the message.
[[maybe_unused]] const char* message_of(int result, const char* buffer) { return result == 0 ? buffer : ""; }
[[maybe_unused]] const char* message_of(const char* result, const char*) { return result ? result : ""; }

} // namespace

const char* FILE_error_english(int code) {
    for (const error_row& row : error_table)
        if (row.code == code)
            return row.text;
    return nullptr;
}

void FILE_error_text(std::string& out, int code) {
    out.clear();
    if (code == 0)
        return;
    // The table's sentences are the program's own and go through the translator; the C library's
    // messages are taken as it gives them.
    if (const char* english = FILE_error_english(code)) {
        LANG_translate(out, english);
        return;
    }
    if (code > 0) {
        char buffer[256] = "";
        const char* message = message_of(strerror_r(code, buffer, sizeof buffer), buffer);
        if (message[0] != '\0' && std::strncmp(message, "Unknown error", 13) != 0) {
            out = message;
            return;
        }
    }
    std::string form;
    LANG_translate(form, "Error code %1:code%");
    LANG_subst1(out, form, std::to_string(code));
}
