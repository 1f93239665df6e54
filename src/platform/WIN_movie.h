// WIN_movie: the movie writer behind the screen capture's recorder: each frame is encoded as one JPEG
// picture (MJPEG) and written with its duration into a QuickTime (".mov") file.
//
// DESIGN: a writer belongs to one thread at a time: the capture opens it on the main thread, its compressor
// thread adds the frames, and the capture closes it after that thread ended. Every failing library step
// names itself by a WIN_movie_step and returns the library's (negative) error code, so the caller can tell
// the user which step failed; the writer itself reports nothing.
#pragma once
#include <cstdint>

// 1 when both the MJPEG encoder and the ".mov" muxer are present in the linked libraries.
int WIN_movie_available();

// The steps that can fail, in the order a recording meets them.
enum WIN_movie_step {
    WIN_movie_create_file,  // the container for the path, and the file itself
    WIN_movie_new_track,    // the video stream
    WIN_movie_find_codec,   // no MJPEG encoder
    WIN_movie_buffers,      // the encoder's context, picture and packet
    WIN_movie_open_codec,   // the encoder with its picture size, pixel format and time base
    WIN_movie_begin,        // the stream's parameters and the container's header
    WIN_movie_encode_frame, // one picture through the encoder
    WIN_movie_add_sample,   // one packet into the container
    WIN_movie_end_edits,    // draining the encoder at the end
    WIN_movie_trailer,      // the container's index (the trailer)
    WIN_movie_close_file,
};

struct WIN_movie;
struct WIN_movie_failure {
    WIN_movie_step step = WIN_movie_create_file;
    int code = 0; // the library's error code (negative)
};

// Creates `path` (replacing a file of that name) for pictures of width x height (both even, > 0) with the
// time base time_num / time_den seconds per tick. Null on failure, with *failure filled and nothing left
// open (a created file may remain).
WIN_movie* WIN_movie_open(const char* path, int width, int height, int time_num, int time_den,
                          WIN_movie_failure* failure);
// Encodes one picture of packed RGB rows, bottom row first (as OpenGL reads them), `stride` bytes apart,
// shown for `ticks` (>= 1) ticks after the previous one. False on failure, with *failure filled.
bool WIN_movie_add_frame(WIN_movie* movie, const uint8_t* rgb, int stride, int64_t ticks,
                         WIN_movie_failure* failure);
// Drains the encoder, writes the trailer, closes the file and frees the writer (in every case). False when
// a step failed, with *failure filled for the first one. Null is ignored (true).
bool WIN_movie_close(WIN_movie* movie, WIN_movie_failure* failure);
