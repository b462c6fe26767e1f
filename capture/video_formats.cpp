// The video formats this build writes, in words for the usage and the messages (see video_formats.h).
#include "capture/video_formats.h"

#include <cstring>
#include <vector>

#include "capture/video_encoder.h"

namespace {

// The formats this build writes, those with the same codecs together (".mkv/.webm").
struct FormatGroup {
    std::string extensions;
    VideoFormat format;
};

std::vector<FormatGroup> WritableFormatGroups()
{
    std::vector<FormatGroup> groups;
    for (const VideoFormat& f : WritableVideoFormats()) {
        if (!groups.empty() && std::strcmp(groups.back().format.content, f.content) == 0)
            groups.back().extensions += std::string("/") + f.extension;
        else
            groups.push_back({f.extension, f});
    }
    return groups;
}

}  // namespace

std::string VideoQualityRangesText()
{
    std::string text;
    for (const FormatGroup& g : WritableFormatGroups()) {
        if (!text.empty()) text += "; ";
        text += std::string(g.format.videoCodec) + " " + std::to_string(g.format.lowestQuality) + "-" +
                std::to_string(g.format.highestQuality) + ", default " +
                std::to_string(g.format.defaultQuality);
    }
    return text.empty() ? "none in this build" : text;
}

std::string WritableVideoFormatsText()
{
    std::string text;
    for (const FormatGroup& g : WritableFormatGroups()) {
        if (!text.empty()) text += ", ";
        text += g.extensions + " (" + g.format.content + ")";
    }
    return text.empty() ? "this build writes none" : text;
}
