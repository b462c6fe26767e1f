// The video formats this build writes, in words: what --help and the messages offer, made from the
// encoder's own list (capture/video_encoder.h), so that a build names nothing it cannot write.
#pragma once
#include <string>

// ".mp4 (H.264 + AAC), .mkv/.webm (VP9 + Opus)"; "this build writes none" without an encoder.
std::string WritableVideoFormatsText();

// "H.264 0-51, default 18; VP9 0-63, default 24": the --video-quality ranges of those formats.
std::string VideoQualityRangesText();
