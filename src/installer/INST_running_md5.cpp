// INST_running_md5: a file's MD5 a step behind its writer (see the header).
#include "installer/INST_running_md5.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/FILE_ops.h"
#include "base/MD5_digest.h"

struct INST_running_md5 {
    std::string path;
    std::mutex lock;
    std::condition_variable changed;
    int64_t allowed = 0;   // bytes that may be read (under the lock)
    bool complete = false; // `allowed` is the file's final length (under the lock)
    bool cancelled = false;
    int error = 0; // set by the thread before it ends
    MD5_context md5;
    std::thread thread;
};

namespace {

// Read per pass: big enough for few calls, small enough to stay close behind the writer.
constexpr size_t piece = 1 << 20;

void hash_file(INST_running_md5* h) {
    std::vector<unsigned char> buffer(piece);
    MD5_init(&h->md5);
    int fd = -1;
    int64_t done = 0;
    for (;;) {
        int64_t until = 0;
        {
            std::unique_lock<std::mutex> guard(h->lock);
            h->changed.wait(guard, [&] { return h->cancelled || h->allowed > done || h->complete; });
            if (h->cancelled || (h->complete && done >= h->allowed))
                break;
            until = h->allowed;
        }
        if (fd < 0 && (fd = open(h->path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
            h->error = errno != 0 ? errno : ENOENT;
            break;
        }
        while (done < until) {
            const size_t want = static_cast<size_t>(std::min<int64_t>(until - done, piece));
            const ssize_t got = pread(fd, buffer.data(), want, done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                h->error = got < 0 && errno != 0 ? errno : EIO;
                break;
            }
            MD5_update(&h->md5, buffer.data(), static_cast<size_t>(got));
            done += got;
        }
        if (h->error != 0)
            break;
    }
    if (fd >= 0)
        close(fd);
}

void stop(INST_running_md5* h) {
    if (h->thread.joinable())
        h->thread.join();
}

} // namespace

INST_running_md5* INST_running_md5_start(const std::string& path) {
    auto h = std::make_unique<INST_running_md5>();
    h->path = path;
    FILE_make_absolute(h->path);
    try {
        h->thread = std::thread(hash_file, h.get());
    } catch (const std::system_error&) {
        return nullptr; // no thread to be had: the file is hashed after its transfer
    }
    return h.release();
}

void INST_running_md5_allow(INST_running_md5* h, int64_t bytes) {
    if (!h)
        return;
    {
        std::lock_guard<std::mutex> guard(h->lock);
        if (bytes <= h->allowed)
            return;
        h->allowed = bytes;
    }
    h->changed.notify_one();
}

int INST_running_md5_finish(INST_running_md5* h, int64_t bytes, std::string& hex) {
    {
        std::lock_guard<std::mutex> guard(h->lock);
        h->allowed = std::max(h->allowed, bytes);
        h->complete = true;
    }
    h->changed.notify_one();
    stop(h);
    const std::unique_ptr<INST_running_md5> owned(h);
    if (h->error != 0)
        return h->error;
    MD5_final(&h->md5);
    char text[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", h->md5.digest[i]);
    hex.assign(text, 32);
    return 0;
}

void INST_running_md5_cancel(INST_running_md5* h) {
    if (!h)
        return;
    {
        std::lock_guard<std::mutex> guard(h->lock);
        h->cancelled = true;
    }
    h->changed.notify_one();
    stop(h);
    delete h;
}
