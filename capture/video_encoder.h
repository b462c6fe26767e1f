// Video files from RGB pictures and stereo float sound, over the FFmpeg libraries (libavformat,
// libavcodec, libswscale, libswresample): .mp4 holds H.264 (yuv420p) with AAC, .mkv and .webm hold VP9
// with Opus. Every encoder runs on one thread with fixed settings, so the same input gives the same bytes.
// Main thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct VideoEncoder;

struct VideoEncoderSettings {
    std::string path;       // the name the user gave: its extension picks the container and the codecs
    std::string writePath;  // where the bytes go: a file name (the writer's temporary file), or "pipe:N"
                            // for the descriptor N of a device or pipe written in place
    bool stream = false;    // written in place: nothing can be read back or rewritten, so MP4 is
                            // fragmented instead of having its index moved to the front
    int width = 800, height = 600;
    int quality = -1;       // constant-quality level of the video codec (lower is better); -1: the default
    int frameRateNum = 60;  // the nominal frame rate, a hint for the rate control
    int frameRateDen = 1;
    int sampleRate = 44100;   // of the sound handed over; the time unit of picture starts and lengths
    bool framesVary = false;  // picture lengths differ (a replay): no reordered pictures, whose lengths a
                              // container would take in decoding order
};

// What the extension of `path` gives ("H.264 + AAC in MP4"), or null for an extension that is not known.
const char* VideoFormatForPath(const std::string& path);

// A kind of video file this build writes.
struct VideoFormat {
    const char* extension;   // ".mp4"
    const char* content;     // "H.264 + AAC"
    const char* videoCodec;  // "H.264": the codec --video-quality speaks of
    int lowestQuality, highestQuality, defaultQuality;
};

// The formats this build can write (its FFmpeg has their muxer and both encoders), in a fixed order: what
// the usage and the messages offer. None where the build has no encoder.
std::vector<VideoFormat> WritableVideoFormats();

// The quality levels the codec for `path` accepts, and its default.
void VideoQualityRange(const std::string& path, int& lowest, int& highest, int& fallback);

// Opens the codecs and the file and writes the file's header. Null with the cause in `error`.
VideoEncoder* OpenVideoEncoder(const VideoEncoderSettings& settings, std::string& error);

// One picture: rgb is width * height * 3 bytes, top row first. It starts `start` and lasts `length`
// (above 0) sample periods after the start of the film; pictures come in order, without gaps.
bool EncodeVideoPicture(VideoEncoder* encoder, const unsigned char* rgb, int64_t start, int64_t length,
                        std::string& error);

// Sound, stereo interleaved, continuing where the last call ended.
bool EncodeVideoSound(VideoEncoder* encoder, const float* stereo, int64_t frames, std::string& error);

// Drains the encoders, writes the end of the file and closes it; the encoder is freed either way.
bool FinishVideoEncoder(VideoEncoder* encoder, std::string& error);

// Closes the file without finishing it and frees the encoder (the caller removes the file).
void AbandonVideoEncoder(VideoEncoder* encoder);
