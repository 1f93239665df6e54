// INST_running_md5: the MD5 of a file while another thread writes it, so that a plain package's check is
// done soon after its last byte arrived.
//
// DESIGN: one hashing thread per file, of its own (never the I/O thread: hashing must not slow the
// socket). The writer's side (the download step, on the main thread) says how many bytes from the start
// of the file are written and may be read; the thread reads them with pread from its own descriptor,
// opened once the first bytes may be read, and waits for more. The file may hold stale bytes past what
// was written (download files are written over in place): nothing past the allowed count is read. The
// finish call gives the final length and waits for the digest; a cancel stops the thread without one.
// Every call but the thread's own work is made by the one owner of the object, on any one thread at a time.
#pragma once
#include <cstdint>
#include <string>

struct INST_running_md5;

// Starts hashing `path` (made absolute) on a thread of its own; nothing is read yet. Null when no thread
// can be made (the caller hashes the file once it is complete).
INST_running_md5* INST_running_md5_start(const std::string& path);

// The first `bytes` of the file are written and may be read (a smaller count than before changes nothing;
// nothing for null).
void INST_running_md5_allow(INST_running_md5* h, int64_t bytes);

// The file is complete at `bytes`: waits until they are hashed, ends the thread, frees `h` and returns 0
// with the lower-case hexadecimal digest in `hex`, or errno of a failed open or read (EIO for a file
// shorter than `bytes`).
int INST_running_md5_finish(INST_running_md5* h, int64_t bytes, std::string& hex);

// Stops the thread without a digest and frees `h`; nothing for null.
void INST_running_md5_cancel(INST_running_md5* h);
