// Writes generated Ogg Vorbis test tracks with libvorbisenc (see test_tracks.h).
#include "tests/support/test_tracks.h"

#include <ogg/ogg.h>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <numbers>
#include <random>

namespace {

bool WritePages(ogg_stream_state* stream, FILE* file, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) {
        if (std::fwrite(page.header, 1, page.header_len, file) != static_cast<size_t>(page.header_len))
            return false;
        if (std::fwrite(page.body, 1, page.body_len, file) != static_cast<size_t>(page.body_len))
            return false;
    }
    return true;
}

}  // namespace

bool WriteTestTrack(const std::string& path, int channels, int rate, double seconds, const TestSignal& signal)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&info);
        std::fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "quarnel test tracks");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x51a7);

    bool ok = true;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ok = WritePages(&stream, file, true);

    const int64_t total = static_cast<int64_t>(std::llround(seconds * rate));
    constexpr int kBlock = 1024;
    int64_t done = 0;
    bool ended = false;
    while (ok && !ended) {
        const int count = static_cast<int>(std::min<int64_t>(kBlock, total - done));
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, count);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < count; ++i) buffer[c][i] = signal(done + i, c);
            vorbis_analysis_wrote(&dsp, count);
            done += count;
        } else {
            vorbis_analysis_wrote(&dsp, 0);  // end of stream
            ended = true;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = ok && WritePages(&stream, file, false);
            }
        }
    }
    ok = ok && WritePages(&stream, file, true);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

TestSignal SineSignal(double frequency, double amplitude, int rate)
{
    return [=](int64_t frame, int) {
        return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * frame / rate));
    };
}

TestSignal SilentSignal()
{
    return [](int64_t, int) { return 0.0f; };
}

namespace {
std::string trackFolder;
pid_t folderOwner = 0;

// Child processes of death tests exit through here too; only the process that made the folder removes it.
void RemoveTrackFolder()
{
    if (getpid() != folderOwner) return;
    std::error_code ignored;
    std::filesystem::remove_all(trackFolder, ignored);
}
}  // namespace

std::string TestTrackFolder()
{
    if (trackFolder.empty()) {
        // A name no one else has: created anew, never one that was there before.
        std::mt19937_64 random{std::random_device{}()};
        std::error_code ec;
        const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
        for (int attempt = 0; attempt < 100 && trackFolder.empty(); ++attempt) {
            const std::filesystem::path folder =
                temp / ("quarnel-tracks-" + std::to_string(random() % 1000000000));
            if (std::filesystem::create_directory(folder, ec)) trackFolder = folder.string();
        }
        if (trackFolder.empty()) return temp.string();
        folderOwner = getpid();
        std::atexit(RemoveTrackFolder);
    }
    return trackFolder;
}

std::string CachedTestTrack(const std::string& name, int channels, int rate, double seconds,
                            const TestSignal& signal)
{
    static std::map<std::string, std::string> written;
    auto found = written.find(name);
    if (found != written.end()) return found->second;
    std::string path = TestTrackFolder() + "/" + name + ".ogg";
    if (!WriteTestTrack(path, channels, rate, seconds, signal)) return {};
    written[name] = path;
    return path;
}
