// INST_format: the number, size, rate and time texts of the installing pages, the progress of one HTTP
// transfer, and the status text of a download slot. Main thread only (they read the HTTP client and the
// download dispenser, which belong to it).
#pragma once
#include <string>

// "%d" of n.
std::string INST_int_to_string(int n);

// A size given in kilobytes of 1,000 bytes, shown in steps of 1,024:
// | kb                     | text                       |
// |------------------------|----------------------------|
// | above 1,024,000        | "%.1f GB" of kb / 1,048,576 |
// | above 1,024            | "%.0f MB" of kb / 1,024     |
// | otherwise              | "%.0f KB" of kb             |
// So 1,024 gives "1024 KB", 1,025 "1 MB", 1,024,000 "1000 MB" and 1,024,001 "1.0 GB".
std::string INST_format_size_kb(float kb);

// "<n> kilobyte/second" or "<n> kilobytes/second" (translated, the form picked by the language's plural
// rule) for the rate truncated to a whole number. A negative or NaN rate shows 0; an infinite or huge one
// the largest int.
std::string INST_format_rate(float kb_per_second);

// The time left, truncated to a whole number of its unit (each translated, singular or plural by the
// plural rule):
// | seconds        | unit            |
// |----------------|-----------------|
// | below 120      | seconds         |
// | below 7,200    | seconds / 60    |
// | otherwise      | seconds / 3,600 |
// A negative time shows 0 seconds; NaN, infinity and anything beyond 9,999 hours show 9,999 hours (a rate
// of 0 gives an infinite time).
std::string INST_format_time_left(float seconds);

// The progress of the HTTP transfer of `key` in percent: 0 when the key has no connection, -1 while the
// server has given no content length, else bytes received * 100 / content length (64-bit counts; a
// content length of 0 gives 100).
float INST_download_percent(int key);

// The status text of download slot i of the dispenser: empty, or the translated "Server is not responding
// normally." after its last failure; empty when there is no slot i.
std::string INST_slot_status_text(int i);
