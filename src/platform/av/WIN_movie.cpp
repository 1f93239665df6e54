// WIN_movie: MJPEG pictures in a QuickTime (".mov") file, through libavcodec, libavformat and libswscale.
#include "platform/WIN_movie.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

struct WIN_movie {
    AVFormatContext* container = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* picture = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* convert = nullptr;
    int64_t next_pts = 0;
    int64_t ticks = 1; // the duration of the picture being encoded
    bool header_written = false;
};

namespace {

bool fail(WIN_movie_failure* failure, WIN_movie_step step, int code) {
    if (failure) {
        failure->step = step;
        failure->code = code;
    }
    return false;
}

// Frees whatever the writer holds; closes the file when it was opened.
void release(WIN_movie* m) {
    sws_freeContext(m->convert);
    av_packet_free(&m->packet);
    av_frame_free(&m->picture);
    avcodec_free_context(&m->codec);
    if (m->container) {
        if (m->container->pb)
            avio_closep(&m->container->pb);
        avformat_free_context(m->container);
    }
    delete m;
}

// Moves every packet the encoder has ready into the container.
bool drain(WIN_movie* m, WIN_movie_step step, WIN_movie_failure* failure) {
    for (;;) {
        int rc = avcodec_receive_packet(m->codec, m->packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return fail(failure, step, rc);
        if (m->packet->duration <= 0)
            m->packet->duration = m->ticks;
        av_packet_rescale_ts(m->packet, m->codec->time_base, m->stream->time_base);
        m->packet->stream_index = m->stream->index;
        rc = av_interleaved_write_frame(m->container, m->packet);
        av_packet_unref(m->packet);
        if (rc < 0)
            return fail(failure, WIN_movie_add_sample, rc);
    }
}

bool open_steps(WIN_movie* m, const char* path, int width, int height, int time_num, int time_den,
                WIN_movie_failure* failure) {
    int rc = avformat_alloc_output_context2(&m->container, nullptr, "mov", path);
    if (rc < 0)
        return fail(failure, WIN_movie_create_file, rc);
    rc = avio_open(&m->container->pb, path, AVIO_FLAG_WRITE);
    if (rc < 0)
        return fail(failure, WIN_movie_create_file, rc);
    m->stream = avformat_new_stream(m->container, nullptr);
    if (!m->stream)
        return fail(failure, WIN_movie_new_track, AVERROR(ENOMEM));
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!encoder)
        return fail(failure, WIN_movie_find_codec, AVERROR_ENCODER_NOT_FOUND);
    m->codec = avcodec_alloc_context3(encoder);
    m->picture = av_frame_alloc();
    m->packet = av_packet_alloc();
    if (!m->codec || !m->picture || !m->packet)
        return fail(failure, WIN_movie_buffers, AVERROR(ENOMEM));
    m->codec->width = width;
    m->codec->height = height;
    m->codec->pix_fmt = AV_PIX_FMT_YUVJ444P; // full-range, no chroma subsampling: the colours stay true
    m->codec->time_base = AVRational{time_num, time_den};
    m->codec->framerate = AVRational{time_den, time_num};
    m->codec->flags |= AV_CODEC_FLAG_QSCALE;
    m->codec->global_quality = FF_QP2LAMBDA * 2;
    if (m->container->oformat->flags & AVFMT_GLOBALHEADER)
        m->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(m->codec, encoder, nullptr);
    if (rc < 0)
        return fail(failure, WIN_movie_open_codec, rc);
    m->picture->format = m->codec->pix_fmt;
    m->picture->width = width;
    m->picture->height = height;
    rc = av_frame_get_buffer(m->picture, 0);
    if (rc < 0)
        return fail(failure, WIN_movie_buffers, rc);
    m->convert = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, m->codec->pix_fmt, SWS_POINT,
                                nullptr, nullptr, nullptr);
    if (!m->convert)
        return fail(failure, WIN_movie_buffers, AVERROR(ENOMEM));
    rc = avcodec_parameters_from_context(m->stream->codecpar, m->codec);
    if (rc < 0)
        return fail(failure, WIN_movie_begin, rc);
    m->stream->time_base = m->codec->time_base;
    m->stream->avg_frame_rate = m->codec->framerate;
    rc = avformat_write_header(m->container, nullptr);
    if (rc < 0)
        return fail(failure, WIN_movie_begin, rc);
    m->header_written = true;
    return true;
}

} // namespace

int WIN_movie_available() {
    return avcodec_find_encoder(AV_CODEC_ID_MJPEG) && av_guess_format("mov", nullptr, nullptr) ? 1 : 0;
}

WIN_movie* WIN_movie_open(const char* path, int width, int height, int time_num, int time_den,
                          WIN_movie_failure* failure) {
    // Failures come back as step and code; the libraries' own notes stay off the terminal.
    av_log_set_level(AV_LOG_FATAL);
    auto* m = new WIN_movie;
    if (width <= 0 || height <= 0 || time_num <= 0 || time_den <= 0) {
        fail(failure, WIN_movie_open_codec, AVERROR(EINVAL));
        release(m);
        return nullptr;
    }
    if (!open_steps(m, path, width, height, time_num, time_den, failure)) {
        release(m);
        return nullptr;
    }
    return m;
}

bool WIN_movie_add_frame(WIN_movie* m, const uint8_t* rgb, int stride, int64_t ticks,
                         WIN_movie_failure* failure) {
    int rc = av_frame_make_writable(m->picture);
    if (rc < 0)
        return fail(failure, WIN_movie_encode_frame, rc);
    // Bottom row first: start at the last row and step backwards.
    const uint8_t* source[1] = {rgb + static_cast<ptrdiff_t>(m->codec->height - 1) * stride};
    const int strides[1] = {-stride};
    sws_scale(m->convert, source, strides, 0, m->codec->height, m->picture->data, m->picture->linesize);
    m->ticks = ticks < 1 ? 1 : ticks;
    m->picture->pts = m->next_pts;
    m->next_pts += m->ticks;
    rc = avcodec_send_frame(m->codec, m->picture);
    if (rc < 0)
        return fail(failure, WIN_movie_encode_frame, rc);
    return drain(m, WIN_movie_encode_frame, failure);
}

bool WIN_movie_close(WIN_movie* m, WIN_movie_failure* failure) {
    if (!m)
        return true;
    bool ok = true;
    if (m->header_written) {
        int rc = avcodec_send_frame(m->codec, nullptr);
        if (rc < 0)
            ok = fail(failure, WIN_movie_end_edits, rc);
        else if (!drain(m, WIN_movie_end_edits, failure))
            ok = false;
        rc = av_write_trailer(m->container);
        if (rc < 0 && ok)
            ok = fail(failure, WIN_movie_trailer, rc);
    }
    int rc = avio_closep(&m->container->pb);
    if (rc < 0 && ok)
        ok = fail(failure, WIN_movie_close_file, rc);
    release(m);
    return ok;
}
