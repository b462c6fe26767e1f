// Video files over FFmpeg (see video_encoder.h): pictures go through libswscale to yuv420p and the video
// codec, sound through libswresample and a sample FIFO to the audio codec in its own frame size, and
// libavformat interleaves both into the file.
#include "capture/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <vector>

namespace {

struct Container {
    const char* extension;
    const char* format;  // libavformat's name
    const char* videoCodec;
    const char* audioCodec;
    const char* description;
    const char* content;                                // the codecs in words
    const char* videoName;                              // the video codec in words
    int lowestQuality, highestQuality, defaultQuality;  // constant-rate-factor range of the video codec
    int audioBitRate;
    int audioRate;  // 0: the rate of the sound handed over
};

// H.264 at rate factor 18 is visually near lossless; VP9 reaches about the same at 24.
constexpr Container kContainers[] = {
    {".mp4", "mp4", "libx264", "aac", "H.264 + AAC in MP4", "H.264 + AAC", "H.264", 0, 51, 18, 192000, 0},
    {".mkv", "matroska", "libvpx-vp9", "libopus", "VP9 + Opus in Matroska", "VP9 + Opus", "VP9", 0, 63, 24,
     160000, 48000},
    {".webm", "webm", "libvpx-vp9", "libopus", "VP9 + Opus in WebM", "VP9 + Opus", "VP9", 0, 63, 24, 160000,
     48000},
};

// A build of FFmpeg with less in it (the Windows build has no VP9 or Opus) cannot write every container.
bool CanWrite(const Container& c)
{
    return av_guess_format(c.format, nullptr, nullptr) && avcodec_find_encoder_by_name(c.videoCodec) &&
           avcodec_find_encoder_by_name(c.audioCodec);
}

// "use .mp4 or .mkv": the extensions this build writes.
std::string WritableExtensions()
{
    std::string list;
    const std::vector<VideoFormat> formats = WritableVideoFormats();
    for (size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) list += i + 1 == formats.size() ? " or " : ", ";
        list += formats[i].extension;
    }
    return list;
}

// Whether two names are the same but for the case of their ASCII letters.
bool SameIgnoringCase(const char* a, const char* b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a && *b; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

const Container* ContainerFor(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    for (const Container& c : kContainers)
        if (SameIgnoringCase(path.c_str() + dot, c.extension)) return &c;
    return nullptr;
}

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The instruction sets x264 may use, named as its "asm" option names them: what this processor offers,
// short of AVX-512. x264's AVX-512 routines (core 164) read bytes of their work buffers that were never
// written, so the same pictures gave different files from run to run; every other level gives the same
// bytes as plain C. Each name includes the levels below it. Empty: leave x264 to its own detection.
std::string X264InstructionSets()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("abm"))
        return "AVX2";
    std::string sets;
    if (__builtin_cpu_supports("avx")) {
        sets = "AVX";
        if (__builtin_cpu_supports("fma")) sets += ",FMA3";
    } else if (__builtin_cpu_supports("sse4.2")) {
        sets = "SSE4.2";
    } else if (__builtin_cpu_supports("sse4.1")) {
        sets = "SSE4.1";
    } else if (__builtin_cpu_supports("ssse3")) {
        sets = "SSSE3";
    } else if (__builtin_cpu_supports("sse3")) {
        sets = "SSE3";
    } else {
        sets = "SSE2";
    }
    return sets;
#else
    return "";
#endif
}

constexpr int kDurationSlots = 256;       // more than the pictures the video codec holds back (look-ahead)
constexpr size_t kConverterOverrun = 64;  // bytes the RGB converter may read past a picture

}  // namespace

struct VideoEncoder {
    const Container* container = nullptr;
    AVFormatContext* format = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int width = 0, height = 0;
    int inputRate = 44100;
    int64_t soundPts = 0;  // samples handed to the audio codec, at its rate
    bool headerWritten = false;
    bool fileOpen = false;
    // The codec returns pictures reordered and without lengths: each picture's length by its start.
    int64_t slotStart[kDurationSlots] = {};
    int64_t slotLength[kDurationSlots] = {};
    int nextSlot = 0;
    std::vector<uint8_t> converted;  // resampled sound waiting for the FIFO, reused
    // The picture being converted. The converter reads its last row in 16-byte loads that run past the
    // row's end, so it reads from here, where that overrun lands on padding that is always zero.
    std::vector<uint8_t> rgb;
};

namespace {

// `what` goes before the library's words for the cause; a failed write gives the cause alone ("No space
// left on device"), since the caller names the file.
bool Fail(std::string& error, const std::string& what, int code)
{
    error = what.empty() ? AvError(code) : what + ": " + AvError(code);
    return false;
}

bool WritePackets(VideoEncoder* e, AVCodecContext* codec, AVStream* stream, std::string& error)
{
    for (;;) {
        int ret = avcodec_receive_packet(codec, e->packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
        if (ret < 0) return Fail(error, "encoding failed", ret);
        if (codec == e->video) {
            for (int i = 0; i < kDurationSlots; ++i) {
                if (e->slotStart[i] == e->packet->pts) {
                    e->packet->duration = e->slotLength[i];
                    break;
                }
            }
        }
        av_packet_rescale_ts(e->packet, codec->time_base, stream->time_base);
        e->packet->stream_index = stream->index;
        ret = av_interleaved_write_frame(e->format, e->packet);  // takes the packet's data
        if (ret < 0) return Fail(error, "", ret);
        if (e->format->pb && e->format->pb->error < 0) return Fail(error, "", e->format->pb->error);
    }
}

bool SendFrame(VideoEncoder* e, AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string& error)
{
    const int ret = avcodec_send_frame(codec, frame);
    if (ret < 0 && ret != AVERROR_EOF) return Fail(error, "encoding failed", ret);
    return WritePackets(e, codec, stream, error);
}

// Hands whole codec frames from the FIFO to the audio codec; at the end also the last, shorter one
// (padded with silence where the codec wants whole frames).
bool DrainFifo(VideoEncoder* e, bool end, std::string& error)
{
    const int frameSize = e->audio->frame_size > 0 ? e->audio->frame_size : 1024;
    const bool variable = e->audio->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    const bool smallLast = e->audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    while (av_audio_fifo_size(e->fifo) >= frameSize || (end && av_audio_fifo_size(e->fifo) > 0)) {
        const int available = av_audio_fifo_size(e->fifo);
        const int take = available < frameSize ? available : frameSize;
        int ret = av_frame_make_writable(e->sound);
        if (ret < 0) return Fail(error, "out of memory", ret);
        e->sound->nb_samples = (take < frameSize && !variable && !smallLast) ? frameSize : take;
        if (e->sound->nb_samples > take)
            av_samples_set_silence(e->sound->data, take, e->sound->nb_samples - take,
                                   e->audio->ch_layout.nb_channels, e->audio->sample_fmt);
        if (av_audio_fifo_read(e->fifo, reinterpret_cast<void**>(e->sound->data), take) != take)
            return Fail(error, "sound buffer", AVERROR_BUG);
        e->sound->pts = e->soundPts;
        e->soundPts += e->sound->nb_samples;
        if (!SendFrame(e, e->audio, e->audioStream, e->sound, error)) return false;
        e->sound->nb_samples = frameSize;
    }
    return true;
}

// Resamples (or only converts) stereo float sound into the FIFO; null input drains the resampler.
bool QueueSound(VideoEncoder* e, const float* stereo, int64_t frames, std::string& error)
{
    const int in = static_cast<int>(frames);
    const int capacity = swr_get_out_samples(e->resampler, in);
    if (capacity <= 0) return true;
    const int channels = e->audio->ch_layout.nb_channels;
    const int bytes = av_samples_get_buffer_size(nullptr, channels, capacity, e->audio->sample_fmt, 1);
    if (bytes < 0) return Fail(error, "sound buffer", bytes);
    if (e->converted.size() < static_cast<size_t>(bytes)) e->converted.resize(bytes);
    uint8_t* planes[8] = {};
    av_samples_fill_arrays(planes, nullptr, e->converted.data(), channels, capacity, e->audio->sample_fmt, 1);
    const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(stereo)};
    const int out = swr_convert(e->resampler, planes, capacity, stereo ? input : nullptr, stereo ? in : 0);
    if (out < 0) return Fail(error, "resampling failed", out);
    if (out > 0 && av_audio_fifo_write(e->fifo, reinterpret_cast<void**>(planes), out) != out)
        return Fail(error, "sound buffer", AVERROR(ENOMEM));
    return true;
}

void FreeEncoder(VideoEncoder* e)
{
    if (!e) return;
    if (e->fileOpen && e->format) avio_closep(&e->format->pb);
    avcodec_free_context(&e->video);
    avcodec_free_context(&e->audio);
    sws_freeContext(e->scaler);
    swr_free(&e->resampler);
    if (e->fifo) av_audio_fifo_free(e->fifo);
    av_frame_free(&e->picture);
    av_frame_free(&e->sound);
    av_packet_free(&e->packet);
    avformat_free_context(e->format);
    delete e;
}

bool OpenVideoCodec(VideoEncoder* e, const VideoEncoderSettings& s, std::string& error)
{
    const Container& c = *e->container;
    const AVCodec* codec = avcodec_find_encoder_by_name(c.videoCodec);
    if (!codec) {
        error = std::string("this FFmpeg has no ") + c.videoCodec + " encoder";
        return false;
    }
    e->video = avcodec_alloc_context3(codec);
    if (!e->video) return Fail(error, "out of memory", AVERROR(ENOMEM));
    AVCodecContext* v = e->video;
    v->width = s.width;
    v->height = s.height;
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->time_base = AVRational{1, s.sampleRate};  // picture starts are counted in sample periods
    v->framerate = AVRational{s.frameRateNum, s.frameRateDen};
    v->sample_aspect_ratio = AVRational{1, 1};
    v->color_range = AVCOL_RANGE_MPEG;
    v->colorspace = AVCOL_SPC_SMPTE170M;  // what libswscale converts with by default
    v->color_primaries = AVCOL_PRI_SMPTE170M;
    v->color_trc = AVCOL_TRC_SMPTE170M;
    v->thread_count = 1;  // one thread: the same pictures give the same bytes
    v->flags |= AV_CODEC_FLAG_BITEXACT;
    if (e->format->oformat->flags & AVFMT_GLOBALHEADER) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int lowest = 0, highest = 0, fallback = 0;
    VideoQualityRange(s.path, lowest, highest, fallback);
    const int quality = s.quality >= 0 ? s.quality : fallback;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "crf", quality, 0);
    if (codec->id == AV_CODEC_ID_H264) {
        av_dict_set(&options, "preset", "medium", 0);
        if (const std::string sets = X264InstructionSets(); !sets.empty())
            av_dict_set(&options, "x264-params", ("asm=" + sets).c_str(), 0);
        if (s.framesVary) v->max_b_frames = 0;
    } else {
        v->bit_rate = 0;  // constant quality
        av_dict_set(&options, "deadline", "good", 0);
        av_dict_set(&options, "cpu-used", "4", 0);
        av_dict_set(&options, "row-mt", "0", 0);
    }
    const int ret = avcodec_open2(v, codec, &options);
    av_dict_free(&options);
    if (ret < 0) return Fail(error, std::string("cannot start the ") + c.videoCodec + " encoder", ret);

    e->videoStream = avformat_new_stream(e->format, nullptr);
    if (!e->videoStream) return Fail(error, "out of memory", AVERROR(ENOMEM));
    e->videoStream->time_base = v->time_base;
    e->videoStream->avg_frame_rate = v->framerate;
    avcodec_parameters_from_context(e->videoStream->codecpar, v);

    e->picture = av_frame_alloc();
    if (!e->picture) return Fail(error, "out of memory", AVERROR(ENOMEM));
    e->picture->format = v->pix_fmt;
    e->picture->width = v->width;
    e->picture->height = v->height;
    e->picture->color_range = v->color_range;
    e->picture->colorspace = v->colorspace;
    if (int r = av_frame_get_buffer(e->picture, 0); r < 0) return Fail(error, "out of memory", r);
    e->rgb.assign(static_cast<size_t>(s.width) * 3 * s.height + kConverterOverrun, 0);
    e->scaler = sws_getContext(s.width, s.height, AV_PIX_FMT_RGB24, s.width, s.height, AV_PIX_FMT_YUV420P,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP | SWS_BITEXACT, nullptr,
                               nullptr, nullptr);
    if (!e->scaler) return Fail(error, "cannot convert the picture to yuv420p", AVERROR(EINVAL));
    return true;
}

bool OpenAudioCodec(VideoEncoder* e, const VideoEncoderSettings& s, std::string& error)
{
    const Container& c = *e->container;
    const AVCodec* codec = avcodec_find_encoder_by_name(c.audioCodec);
    if (!codec) {
        error = std::string("this FFmpeg has no ") + c.audioCodec + " encoder";
        return false;
    }
    e->audio = avcodec_alloc_context3(codec);
    if (!e->audio) return Fail(error, "out of memory", AVERROR(ENOMEM));
    AVCodecContext* a = e->audio;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&a->ch_layout, &stereo);
    a->sample_rate = c.audioRate > 0 ? c.audioRate : s.sampleRate;
    a->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    if (codec->sample_fmts) {
        for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) a->sample_fmt = *f;
    }
    a->bit_rate = c.audioBitRate;
    a->time_base = AVRational{1, a->sample_rate};
    a->thread_count = 1;
    a->flags |= AV_CODEC_FLAG_BITEXACT;
    if (e->format->oformat->flags & AVFMT_GLOBALHEADER) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int ret = avcodec_open2(a, codec, nullptr);
    if (ret < 0) return Fail(error, std::string("cannot start the ") + c.audioCodec + " encoder", ret);

    e->audioStream = avformat_new_stream(e->format, nullptr);
    if (!e->audioStream) return Fail(error, "out of memory", AVERROR(ENOMEM));
    e->audioStream->time_base = a->time_base;
    avcodec_parameters_from_context(e->audioStream->codecpar, a);

    int r = swr_alloc_set_opts2(&e->resampler, &a->ch_layout, a->sample_fmt, a->sample_rate, &stereo,
                                AV_SAMPLE_FMT_FLT, s.sampleRate, 0, nullptr);
    if (r < 0 || (r = swr_init(e->resampler)) < 0) return Fail(error, "cannot resample the sound", r);
    e->fifo = av_audio_fifo_alloc(a->sample_fmt, a->ch_layout.nb_channels, a->sample_rate);
    e->sound = av_frame_alloc();
    if (!e->fifo || !e->sound) return Fail(error, "out of memory", AVERROR(ENOMEM));
    e->sound->format = a->sample_fmt;
    av_channel_layout_copy(&e->sound->ch_layout, &a->ch_layout);
    e->sound->sample_rate = a->sample_rate;
    e->sound->nb_samples = a->frame_size > 0 ? a->frame_size : 1024;
    if ((r = av_frame_get_buffer(e->sound, 0)) < 0) return Fail(error, "out of memory", r);
    return true;
}

}  // namespace

const char* VideoFormatForPath(const std::string& path)
{
    const Container* c = ContainerFor(path);
    return c ? c->description : nullptr;
}

std::vector<VideoFormat> WritableVideoFormats()
{
    std::vector<VideoFormat> formats;
    for (const Container& c : kContainers)
        if (CanWrite(c))
            formats.push_back(
                {c.extension, c.content, c.videoName, c.lowestQuality, c.highestQuality, c.defaultQuality});
    return formats;
}

void VideoQualityRange(const std::string& path, int& lowest, int& highest, int& fallback)
{
    const Container* c = ContainerFor(path);
    if (!c) c = &kContainers[0];
    lowest = c->lowestQuality;
    highest = c->highestQuality;
    fallback = c->defaultQuality;
}

VideoEncoder* OpenVideoEncoder(const VideoEncoderSettings& s, std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);
    VideoEncoder* e = new VideoEncoder;
    e->container = ContainerFor(s.path);
    e->width = s.width;
    e->height = s.height;
    e->inputRate = s.sampleRate;
    for (int64_t& start : e->slotStart) start = -1;
    if (!e->container) {
        error = "unknown extension (use " + WritableExtensions() + ")";
        FreeEncoder(e);
        return nullptr;
    }
    // A build of FFmpeg with less in it (the Windows build writes MP4 only) says what it lacks.
    if (!CanWrite(*e->container)) {
        error = std::string("this build cannot write ") + e->container->description + " (its FFmpeg lacks " +
                e->container->format + ", " + e->container->videoCodec + " or " + e->container->audioCodec +
                "); write a file ending in " + WritableExtensions() + " instead";
        FreeEncoder(e);
        return nullptr;
    }
    int ret = avformat_alloc_output_context2(&e->format, nullptr, e->container->format, s.writePath.c_str());
    e->packet = av_packet_alloc();
    if (ret < 0 || !e->format || !e->packet) {
        Fail(error, std::string("cannot set up ") + e->container->format, ret < 0 ? ret : AVERROR(ENOMEM));
        FreeEncoder(e);
        return nullptr;
    }
    e->format->flags |= AVFMT_FLAG_BITEXACT;  // no library version or time in the file
    if (!OpenVideoCodec(e, s, error) || !OpenAudioCodec(e, s, error)) {
        FreeEncoder(e);
        return nullptr;
    }
    ret = avio_open(&e->format->pb, s.writePath.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        Fail(error, "", ret);
        FreeEncoder(e);
        return nullptr;
    }
    e->fileOpen = true;
    AVDictionary* options = nullptr;
    // The index at the front, so that a player can start before the whole file has arrived: this reads
    // the file back at the end, which a device or pipe written in place cannot do, so a stream gets an
    // index ahead of every fragment instead.
    if (e->container->format == std::string("mp4")) {
        av_dict_set(&options, "movflags",
                    s.stream ? "+frag_keyframe+empty_moov+default_base_moof" : "+faststart", 0);
        // Edit lists in sample periods rather than the default milliseconds, so that they cut the
        // encoders' priming and padding to the sample.
        av_dict_set_int(&options, "movie_timescale", s.sampleRate, 0);
    }
    ret = avformat_write_header(e->format, &options);
    av_dict_free(&options);
    if (ret < 0) {
        Fail(error, "", ret);
        FreeEncoder(e);
        return nullptr;
    }
    e->headerWritten = true;
    return e;
}

bool EncodeVideoPicture(VideoEncoder* e, const unsigned char* rgb, int64_t start, int64_t length,
                        std::string& error)
{
    int ret = av_frame_make_writable(e->picture);
    if (ret < 0) return Fail(error, "out of memory", ret);
    std::memcpy(e->rgb.data(), rgb, static_cast<size_t>(e->width) * 3 * e->height);
    const uint8_t* source[1] = {e->rgb.data()};
    const int stride[1] = {e->width * 3};
    sws_scale(e->scaler, source, stride, 0, e->height, e->picture->data, e->picture->linesize);
    e->picture->pts = start;
    e->picture->pkt_duration = length;
    e->slotStart[e->nextSlot] = start;
    e->slotLength[e->nextSlot] = length;
    e->nextSlot = (e->nextSlot + 1) % kDurationSlots;
    return SendFrame(e, e->video, e->videoStream, e->picture, error);
}

constexpr int64_t kLongSoundPiece = 65536;  // sample frames: no frame of a show at speed is this long

bool EncodeVideoSound(VideoEncoder* e, const float* stereo, int64_t frames, std::string& error)
{
    if (frames <= 0) return true;
    if (!QueueSound(e, stereo, frames, error) || !DrainFifo(e, false, error)) return false;
    // A long pause comes as large pieces of sound before its one picture. The interleaver would hold all
    // of their packets until that picture's (a VP9 stream does not count as waiting), so they go out now.
    if (frames >= kLongSoundPiece) {
        const int ret = av_interleaved_write_frame(e->format, nullptr);
        if (ret < 0) return Fail(error, "writing failed", ret);
    }
    return true;
}

bool FinishVideoEncoder(VideoEncoder* e, std::string& error)
{
    bool ok = SendFrame(e, e->video, e->videoStream, nullptr, error) && QueueSound(e, nullptr, 0, error) &&
              DrainFifo(e, true, error) && SendFrame(e, e->audio, e->audioStream, nullptr, error);
    if (ok) {
        const int ret = av_write_trailer(e->format);
        if (ret < 0) ok = Fail(error, "", ret);
    }
    if (ok && e->format->pb->error < 0) ok = Fail(error, "", e->format->pb->error);
    const int closed = avio_closep(&e->format->pb);  // flushes what is still buffered
    e->fileOpen = false;
    if (ok && closed < 0) ok = Fail(error, "", closed);
    FreeEncoder(e);
    return ok;
}

void AbandonVideoEncoder(VideoEncoder* e)
{
    FreeEncoder(e);
}
