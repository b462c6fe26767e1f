// Video files in a build without an encoder (the browser's): the names are known, and every file is
// refused with the reason, so that --video says what is missing instead of failing somewhere inside.
#include "capture/video_encoder.h"

const char* VideoFormatForPath(const std::string& path)
{
    return "a video, which this build cannot write";
}

std::vector<VideoFormat> WritableVideoFormats()
{
    return {};
}

void VideoQualityRange(const std::string& path, int& lowest, int& highest, int& fallback)
{
    lowest = 0;
    highest = 63;
    fallback = 18;
}

VideoEncoder* OpenVideoEncoder(const VideoEncoderSettings& settings, std::string& error)
{
    error = "this build writes no video files (the browser has no encoder for them)";
    return nullptr;
}

bool EncodeVideoPicture(VideoEncoder*, const unsigned char*, int64_t, int64_t, std::string& error)
{
    error = "no video encoder in this build";
    return false;
}

bool EncodeVideoSound(VideoEncoder*, const float*, int64_t, std::string& error)
{
    error = "no video encoder in this build";
    return false;
}

bool FinishVideoEncoder(VideoEncoder*, std::string& error)
{
    error = "no video encoder in this build";
    return false;
}

void AbandonVideoEncoder(VideoEncoder*) {}
