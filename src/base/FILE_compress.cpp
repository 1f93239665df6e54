// FILE_compress: MD5 signatures of files, zip expansion (minizip) and 7z expansion (libarchive).
#include "base/FILE_compress.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/MD5_digest.h"

std::atomic<const char*> FILE_compress_site_file{""};
std::atomic<int> FILE_compress_site_line{0};

namespace {

constexpr size_t kChunk = 1 << 20; // bytes per read of a signature or an entry
constexpr int kOpenFailed = 20001;
constexpr int kReadFailed = 20002;
constexpr int kWriteFailed = 20004;
constexpr int kRefusedName = 20014;

// Why this thread's last expansion returned 20002.
thread_local FILE_read_failure last_failure = FILE_read_failure::none;
// The errno of this thread's last failed archive open through zip_open_utf8; 0 after one that opened.
thread_local int zip_open_errno = 0;

// An archive that could not be opened for want of a descriptor or memory: this machine's failure, which
// the archive's own errno names, not a damaged archive (20001).
bool out_of_resources(int err) { return err == EMFILE || err == ENFILE || err == ENOMEM; }

// 20002, noting why.
int read_failed(FILE_read_failure why) {
    last_failure = why;
    return kReadFailed;
}

void log_line(const std::string& text);

// 20002 for an entry past its bound, with a log line.
int entry_too_large(const std::string& path, uint64_t limit) {
    log_line("The archive entry " + path + " is larger than the " + std::to_string(limit) +
             " bytes its package allows; it is not written.");
    return read_failed(FILE_read_failure::entry_too_large);
}

// The error site of one failing call: kept on the stack for its own log line, and published.
struct error_site {
    int line = 0;
    void set(int l) {
        line = l;
        FILE_compress_site_file.store("FILE_compress");
        FILE_compress_site_line.store(l);
    }
};

// One whole line on the log stream (expansions run on worker threads).
void log_line(const std::string& text) { LOG_text(text + "\n"); }

// An archive's name as it may be shown in a log line: control bytes become '?'.
std::string printable(const std::string& name) {
    std::string s = name;
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return s;
}

// The process's umask, read without changing it (other threads may be creating files meanwhile).
mode_t current_umask() {
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        while (std::fgets(line, sizeof line, f)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(f);
                return static_cast<mode_t>(mask & 0777);
            }
        }
        std::fclose(f);
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// The entry name normalised, or false (with a log line) when it could lead outside the folder: the
// expansion then ends with 20014.
bool accept_name(const std::string& raw, std::string& name) {
    if (!FILE_is_safe_relative(raw)) {
        log_line("Refused the archive entry \"" + printable(raw) + "\": its name leads outside the folder.");
        return false;
    }
    name = raw;
    FILE_normalize_path(name);
    return true;
}

// A file written through a temporary sibling in the destination's folder, renamed over the destination
// once it is complete and closed. Whatever is not committed is removed.
class sibling_file {
  public:
    sibling_file() = default;
    sibling_file(const sibling_file&) = delete;
    sibling_file& operator=(const sibling_file&) = delete;
    ~sibling_file() { discard(); }

    // 0 or errno.
    int create(const std::string& destination) {
        destination_ = destination;
        const size_t slash = destination.rfind('/');
        temp_ = (slash == std::string::npos ? std::string() : destination.substr(0, slash + 1)) +
                ".aerivon-XXXXXX";
        fd_ = mkostemp(temp_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            const int err = errno;
            temp_.clear();
            return err != 0 ? err : EIO;
        }
        return 0;
    }

    // 0, errno, or 20004 for a write that failed without one.
    int write(const void* data, size_t size) {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd_, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 && errno != 0 ? errno : kWriteFailed;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return 0;
    }

    // Sets the mode, closes (checked) and renames over the destination. 0 or errno (20004 without one).
    int commit(mode_t mode) {
        int err = fchmod(fd_, mode) == 0 ? 0 : errno;
        const int closed = close(fd_);
        fd_ = -1;
        if (err == 0 && closed != 0)
            err = errno != 0 ? errno : kWriteFailed;
        if (err == 0 && rename(temp_.c_str(), destination_.c_str()) != 0)
            err = errno;
        if (err == 0)
            temp_.clear();
        return err;
    }

    void discard() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        if (!temp_.empty())
            unlink(temp_.c_str());
        temp_.clear();
    }

  private:
    std::string destination_;
    std::string temp_;
    int fd_ = -1;
};

struct free_deleter {
    void operator()(void* p) const { std::free(p); }
};
using chunk_buffer = std::unique_ptr<unsigned char, free_deleter>;

// minizip's open goes through the system's own file opening.
voidpf ZCALLBACK zip_open_utf8(voidpf, const void* filename, int mode) {
    const char* fmode = nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ)
        fmode = "rb";
    else if (mode & ZLIB_FILEFUNC_MODE_EXISTING)
        fmode = "r+b";
    else if (mode & ZLIB_FILEFUNC_MODE_CREATE)
        fmode = "wb";
    if (!filename || !fmode)
        return nullptr;
    errno = 0;
    FILE* f = FILE_fopen_utf8(static_cast<const char*>(filename), fmode);
    zip_open_errno = f ? 0 : errno;
    return f;
}

void log_entry_failure(int code, int line, const std::string& path) {
    log_line("Zip to file failed with error " + std::to_string(code) +
             ". file = FILE_compress line = " + std::to_string(line) + ". inFile=" + path + ".");
}

// libarchive reads the 7z file through these, over the FILE of FILE_fopen_utf8.
struct archive_input {
    FILE* file = nullptr;
    unsigned char buffer[1 << 16];
};

la_ssize_t input_read(struct archive* a, void* data, const void** block) {
    auto* in = static_cast<archive_input*>(data);
    errno = 0;
    const size_t n = std::fread(in->buffer, 1, sizeof in->buffer, in->file);
    if (n == 0 && std::ferror(in->file)) {
        archive_set_error(a, errno != 0 ? errno : EIO, "Read error");
        return -1;
    }
    *block = in->buffer;
    return static_cast<la_ssize_t>(n);
}

la_int64_t input_seek(struct archive*, void* data, la_int64_t offset, int whence) {
    auto* in = static_cast<archive_input*>(data);
    if (fseeko(in->file, static_cast<off_t>(offset), whence) != 0)
        return ARCHIVE_FATAL;
    return static_cast<la_int64_t>(ftello(in->file));
}

la_int64_t input_skip(struct archive*, void* data, la_int64_t request) {
    auto* in = static_cast<archive_input*>(data);
    return fseeko(in->file, static_cast<off_t>(request), SEEK_CUR) == 0 ? request : 0;
}

// Writes the data of the current 7z entry to `path`. 0, 20002 for a data failure, or the output's error.
int write_7z_entry(struct archive* a, const std::string& path, mode_t mode, uint64_t limit) {
    sibling_file out;
    if (int err = out.create(path))
        return err;
    static const unsigned char zeros[4096] = {};
    la_int64_t written = 0;
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int r = archive_read_data_block(a, &block, &size, &offset);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK || offset < written)
            return read_failed(FILE_read_failure::short_read);
        if (static_cast<uint64_t>(offset) > limit || size > limit - static_cast<uint64_t>(offset))
            return entry_too_large(path, limit);
        while (written < offset) { // a hole: zeros
            const size_t n = static_cast<size_t>(std::min<la_int64_t>(offset - written, sizeof zeros));
            if (int err = out.write(zeros, n))
                return err;
            written += static_cast<la_int64_t>(n);
        }
        if (int err = out.write(block, size))
            return err;
        written += static_cast<la_int64_t>(size);
    }
    return out.commit(mode);
}

} // namespace

FILE_read_failure FILE_last_read_failure() { return last_failure; }

int FILE_md5_hex(const std::string& path, std::string& out) {
    std::string absolute = path;
    FILE_make_absolute(absolute);
    FILE* f = FILE_fopen_utf8(absolute, "rb");
    if (!f)
        return errno != 0 ? errno : ENOENT;
    chunk_buffer buffer(static_cast<unsigned char*>(std::malloc(kChunk)));
    if (!buffer) {
        std::fclose(f);
        return ENOMEM;
    }
    MD5_context ctx;
    MD5_init(&ctx);
    int result = 0;
    for (;;) {
        errno = 0;
        const size_t n = std::fread(buffer.get(), 1, kChunk, f);
        if (n > 0)
            MD5_update(&ctx, buffer.get(), n);
        if (n < kChunk) {
            if (std::ferror(f))
                result = errno != 0 ? errno : EIO;
            break;
        }
    }
    std::fclose(f);
    if (result != 0)
        return result;
    MD5_final(&ctx);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
    out.assign(hex, 32);
    return 0;
}

int FILE_zip_entry_to_file(void* zip, const std::string& path, const unz_file_info64_s& info,
                           uint64_t limit) {
    error_site site;
    if (info.uncompressed_size > limit) {
        site.set(407);
        const int refused = entry_too_large(path, limit);
        log_entry_failure(refused, site.line, path);
        return refused;
    }
    int result = unzOpenCurrentFile(zip);
    if (result != UNZ_OK) {
        site.set(402);
        log_entry_failure(result, site.line, path);
        return result;
    }
    chunk_buffer buffer(static_cast<unsigned char*>(std::malloc(kChunk)));
    std::string absolute = path;
    FILE_make_absolute(absolute);
    sibling_file out;
    uint64_t total = 0;
    if (!buffer) {
        site.set(405);
        result = ENOMEM;
    } else if ((result = out.create(absolute)) != 0) {
        site.set(415);
    } else {
        // The declared size is not trusted for memory: the entry streams through one buffer.
        for (;;) {
            const int n = unzReadCurrentFile(zip, buffer.get(), static_cast<unsigned>(kChunk));
            if (n <= 0) {
                if (n < 0 || total != info.uncompressed_size) {
                    site.set(407);
                    result = read_failed(FILE_read_failure::short_read);
                }
                break;
            }
            total += static_cast<uint64_t>(n);
            if (total > limit) {
                site.set(407);
                result = entry_too_large(path, limit);
                break;
            }
            if ((result = out.write(buffer.get(), static_cast<size_t>(n))) != 0) {
                site.set(423);
                break;
            }
        }
    }
    const int closed = unzCloseCurrentFile(zip); // checks the CRC once the whole entry was read
    if (result == 0 && closed != UNZ_OK) {
        site.set(409);
        result = closed;
    }
    if (result == 0) {
        const bool unix_made = (info.version >> 8) == 3;
        const mode_t exec_bits = unix_made ? static_cast<mode_t>((info.external_fa >> 16) & 0111) : 0;
        if ((result = out.commit((0666 | exec_bits) & ~current_umask())) != 0)
            site.set(423);
    }
    if (result != 0)
        log_entry_failure(result, site.line, path);
    return result;
}

int zip_to_file(const std::string& zip_path, const std::string& folder, uint64_t entry_limit,
                const std::string* only, std::vector<std::string>* skipped) {
    last_failure = FILE_read_failure::none;
    std::string absolute = zip_path;
    FILE_make_absolute(absolute);
    const std::string out_dir = folder;
    error_site site;
    int result = 0;

    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = zip_open_utf8;
    zip_open_errno = 0;
    unzFile zip = unzOpen2_64(absolute.c_str(), &functions);
    if (!zip) {
        log_line("OK I am about to report that I could not open a zip file for extraction!");
        log_line("That incoming file is " + absolute);
        log_line(std::string("In c-form, it is ") + absolute.c_str());
        log_line("The size is " + std::to_string(absolute.size()));
        site.set(603);
        result = out_of_resources(zip_open_errno) ? zip_open_errno : kOpenFailed;
    } else {
        int err = unzGoToFirstFile(zip);
        while (err == UNZ_OK) {
            unz_file_info64 info;
            err = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
            std::string raw(info.size_filename, '\0');
            if (err == UNZ_OK && info.size_filename > 0)
                err = unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr,
                                              0, nullptr, 0);
            if (err != UNZ_OK) {
                log_line("unzGetCurrentFileInfo err != UNZ_OK! err=" + std::to_string(err));
                break;
            }
            std::string name;
            if (!accept_name(raw, name)) {
                result = kRefusedName;
            } else if (name.rfind("__MACOSX", 0) == 0) {
                // resource forks of archives made on a Mac
            } else if (name.back() == '/') {
                const int made = only ? 0 : FILE_make_folder(folder + name);
                if (FILE_mkdir_failed(made))
                    result = made;
            } else if ((info.external_fa & 0xA0000000u) == 0xA0000000u) {
                // a symbolic link: never created
            } else if (only && name != *only) {
                if (skipped)
                    skipped->push_back(name);
            } else {
                result = FILE_zip_entry_to_file(zip, folder + name, info, entry_limit);
            }
            if (result != 0) {
                log_line("UNZIP zip_to_file failed with err=" + std::to_string(result));
                site.set(642);
                break;
            }
            err = unzGoToNextFile(zip);
        }
        if (result == 0 && err != UNZ_END_OF_LIST_OF_FILE) {
            site.set(653);
            result = err;
        }
        unzClose(zip);
    }
    if (result != 0)
        log_line("Zip to file failed with error err = " + std::to_string(result) +
                 ". file = FILE_compress line = " + std::to_string(site.line) + ". zip_file=" + absolute +
                 ", out_dir=" + out_dir + ".");
    return result;
}

int FILE_7z_to_folder(const std::string& archive_path, const std::string& folder, std::string* name,
                      bool use_name, uint64_t entry_limit, const std::string* only,
                      std::vector<std::string>* skipped) {
    last_failure = FILE_read_failure::none;
    std::string absolute = archive_path;
    FILE_make_absolute(absolute);
    std::string out_dir = folder;
    FILE_make_absolute(out_dir);
    std::string fixed_name;
    if (use_name && name && !accept_name(*name, fixed_name))
        return kRefusedName;

    auto input = std::make_unique<archive_input>();
    input->file = FILE_fopen_utf8(absolute, "rb");
    if (!input->file)
        return errno != 0 ? errno : ENOENT;

    // Entry names come as UTF-16; libarchive converts them to the thread's locale, which must be UTF-8.
    // The locale object is made once and lives as long as the process.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    const locale_t previous = utf8 ? uselocale(utf8) : static_cast<locale_t>(0);

    int result = 0;
    struct archive* a = archive_read_new();
    archive_read_support_format_7zip(a);
    archive_read_set_callback_data(a, input.get());
    archive_read_set_read_callback(a, input_read);
    archive_read_set_seek_callback(a, input_seek);
    archive_read_set_skip_callback(a, input_skip);
    if (archive_read_open1(a) != ARCHIVE_OK)
        result = archive_errno(a) == ENOMEM ? ENOMEM : kOpenFailed;
    const mode_t mask = current_umask();
    while (result == 0) {
        struct archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            break;
        const char* entry_name = r == ARCHIVE_OK ? archive_entry_pathname_utf8(entry) : nullptr;
        std::string clean;
        if (!entry_name) {
            result = read_failed(FILE_read_failure::short_read);
            break;
        }
        if (!accept_name(entry_name, clean)) {
            result = kRefusedName;
            break;
        }
        const mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFDIR || type == AE_IFLNK || archive_entry_hardlink(entry))
            continue; // folders must exist already; links are never created
        if (only && clean != *only) {
            if (skipped)
                skipped->push_back(clean);
            continue; // its data is skipped by the next header read
        }
        const std::string path = out_dir + (use_name && name ? fixed_name : clean);
        if (name)
            *name = path;
        const mode_t exec_bits = archive_entry_perm(entry) & 0111;
        result = write_7z_entry(a, path, (0666 | exec_bits) & ~mask, entry_limit);
    }
    if (result != 0) {
        const char* why = archive_error_string(a);
        log_line("7z to folder failed with error err = " + std::to_string(result) + " (" + (why ? why : "") +
                 "). archive=" + absolute + ", out_dir=" + out_dir + ".");
    }
    archive_read_free(a);
    std::fclose(input->file);
    if (utf8)
        uselocale(previous);
    return result;
}
