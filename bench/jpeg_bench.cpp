// Decoding speed of the JPEG decoder against libjpeg-turbo (its defaults) and stb_image, on 2048 x 1024
// in-memory files: baseline 4:2:0, baseline 4:4:4 and progressive 4:2:0. Prints megapixels per second
// per decoder and file, and the ratio of our fast path's time to libjpeg-turbo's.
// Depends on assets/jpeg_decoder, the tests' picture generator, libjpeg-turbo, stb_image, Google Benchmark.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>

#include "assets/jpeg_decoder.h"
#include "tests/assets/jpeg_test_files.h"

namespace {

constexpr int kWidth = 2048, kHeight = 1024;
constexpr double kMegapixels = kWidth * kHeight / 1e6;

struct BenchFile {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<BenchFile>& Files()
{
    static std::vector<BenchFile> files = [] {
        std::vector<uint8_t> pixels = MakeTestPixels(kWidth, kHeight, 3, 2024);
        JpegEncodeOptions o;
        o.width = kWidth;
        o.height = kHeight;
        o.quality = 85;
        std::vector<BenchFile> list;
        list.push_back({"baseline-420", EncodeTestJpeg(o, pixels)});
        o.lumaH = o.lumaV = 1;
        list.push_back({"baseline-444", EncodeTestJpeg(o, pixels)});
        o.lumaH = o.lumaV = 2;
        o.progressive = true;
        list.push_back({"progressive-420", EncodeTestJpeg(o, pixels)});
        return list;
    }();
    return files;
}

void DecodeOurs(benchmark::State& state, const BenchFile& file, bool fast)
{
    for (auto _ : state) {
        JpegMemoryStream stream(file.bytes.data(), file.bytes.size());
        auto decoder = std::make_unique<JpegDecoder>(&stream, fast);
        if (decoder->ErrorCode() != 0 || decoder->Begin() != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        const uint8_t* row = nullptr;
        int length = 0;
        unsigned sum = 0;
        while (decoder->DecodeRow(&row, &length) == 0) sum += row[0];
        benchmark::DoNotOptimize(sum);
    }
}

struct Trap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};
void TrapExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Trap*>(info->err)->jump, 1);
}

void DecodeLibjpeg(benchmark::State& state, const BenchFile& file)
{
    std::vector<uint8_t> row(kWidth * 3);
    for (auto _ : state) {
        jpeg_decompress_struct info;
        Trap trap;
        info.err = jpeg_std_error(&trap.manager);
        trap.manager.error_exit = TrapExit;
        if (setjmp(trap.jump)) {
            jpeg_destroy_decompress(&info);
            state.SkipWithError("libjpeg failed");
            return;
        }
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.bytes.data(), static_cast<unsigned long>(file.bytes.size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&info, rows, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(row[0]);
    }
}

void DecodeStb(benchmark::State& state, const BenchFile& file)
{
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels =
            stbi_load_from_memory(file.bytes.data(), static_cast<int>(file.bytes.size()), &w, &h, &n, 3);
        if (!pixels) {
            state.SkipWithError("stb_image failed");
            return;
        }
        benchmark::DoNotOptimize(pixels[0]);
        stbi_image_free(pixels);
    }
}

// Keeps each benchmark's CPU time per iteration for the summary: the median of the repetitions when
// there are several, else the single run. CPU time, since the machine is shared and wall time wanders.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            std::string name = run.run_name.str();
            if (median || (run.run_type == Run::RT_Iteration && !seconds.count(name + "#median")))
                seconds[median ? name + "#median" : name] = run.GetAdjustedCPUTime() / 1e3;  // in ms
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Seconds(const std::string& name) const
    {
        auto it = seconds.find(name + "#median");
        if (it == seconds.end()) it = seconds.find(name);
        return it == seconds.end() ? 0.0 : it->second;
    }
};

const char* kDecoders[] = {"ours-fast", "ours-plain", "libjpeg-turbo", "stb_image"};

}  // namespace

int main(int argc, char** argv)
{
    for (const BenchFile& file : Files()) {
        std::string base = std::string("decode/") + file.name + "/";
        const BenchFile* f = &file;
        benchmark::RegisterBenchmark((base + kDecoders[0]).c_str(), [f](benchmark::State& s) {
            DecodeOurs(s, *f, true);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + kDecoders[1]).c_str(), [f](benchmark::State& s) {
            DecodeOurs(s, *f, false);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + kDecoders[2]).c_str(), [f](benchmark::State& s) {
            DecodeLibjpeg(s, *f);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((base + kDecoders[3]).c_str(), [f](benchmark::State& s) {
            DecodeStb(s, *f);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-16s %8s %12s %12s %14s %12s %10s\n", "file", "KB", "ours-fast", "ours-plain",
                "libjpeg-turbo", "stb_image", "fast/ljt");
    for (const BenchFile& file : Files()) {
        std::printf("%-16s %8zu", file.name, file.bytes.size() / 1024);
        double t[4] = {};
        for (int d = 0; d < 4; ++d) {
            t[d] = reporter.Seconds(std::string("decode/") + file.name + "/" + kDecoders[d]);
            std::printf(d == 2 ? " %14.1f" : " %12.1f", t[d] > 0 ? kMegapixels / t[d] : 0.0);
        }
        std::printf(" %10.2f\n", t[0] > 0 && t[2] > 0 ? t[0] / t[2] : 0.0);
    }
    std::printf(
        "(megapixels per second of CPU time, medians when repeated; fast/ljt = our fast path's decode time "
        "over libjpeg-turbo's)\n");
    return 0;
}
