// The cost of showing a picture through the window's logo against the cost of
// decoding the same file with its library alone: small avatars, a 12-megapixel
// camera-like JPEG and a 2000 x 2000 PNG (both made for the run); and the resident memory while a
// big picture is shown and after a small one has replaced it.

#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>
#include <stdio.h>

#include <filesystem>
#include <vector>

#include "BenchWindow.h"
#include "Pairs.h"
#include "support/ResidentMemory.h"
#include "support/TestPictures.h"

namespace
{

std::string gAvatars;

void PrepareAvatars()
{
    gAvatars = BenchAppDir() + "/avatars";
    std::filesystem::create_directories(gAvatars);
    TestPictures::WritePng(gAvatars + "/png64", 64, 64, {30, 160, 90, 255});
    TestPictures::WriteJpeg(gAvatars + "/jpeg300", 300, 200, {200, 120, 40, 255});
    // The big ones are made for this run only and removed after it.
    TestPictures::WritePhotoJpeg(gAvatars + "/photo12mp", 4000, 3000);
    TestPictures::WritePhotoPng(gAvatars + "/png2000", 2000, 2000);
    printf("made %s: %ju bytes, %s: %ju bytes\n", "photo12mp",
           (uintmax_t)std::filesystem::file_size(gAvatars + "/photo12mp"), "png2000",
           (uintmax_t)std::filesystem::file_size(gAvatars + "/png2000"));
}

void RemoveBigPictures()
{
    for (const char* name : {"photo12mp", "png2000"})
        std::filesystem::remove(gAvatars + "/" + name);
}

BenchWindow& Window()
{
    static BenchWindow window;
    return window;
}

void ShowLogo(benchmark::State& state, const char* name)
{
    VEKWindow* window = Window().Window();
    QuietStdout quiet;
    for (auto _ : state)
        window->ManageLogo((char*)name);
}

void DecodePng(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_file(&image, path.c_str());
        image.format = PNG_FORMAT_BGRA;
        std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void DecodeJpeg(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        int width = 0, height = 0;
        std::vector<uint8_t> pixels = TestPictures::DecodeJpeg(path, JCS_EXT_BGRA, &width, &height);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_ManageLogo_Png64(benchmark::State& state)
{
    ShowLogo(state, "png64");
}
void BM_Libpng_Png64(benchmark::State& state)
{
    DecodePng(state, gAvatars + "/png64");
}
void BM_ManageLogo_Jpeg300x200(benchmark::State& state)
{
    ShowLogo(state, "jpeg300");
}
void BM_Libjpeg_Jpeg300x200(benchmark::State& state)
{
    DecodeJpeg(state, gAvatars + "/jpeg300");
}
void BM_ManageLogo_Jpeg12MP(benchmark::State& state)
{
    ShowLogo(state, "photo12mp");
}
void BM_Libjpeg_Jpeg12MP(benchmark::State& state)
{
    DecodeJpeg(state, gAvatars + "/photo12mp");
}
void BM_ManageLogo_Png2000(benchmark::State& state)
{
    ShowLogo(state, "png2000");
}
void BM_Libpng_Png2000(benchmark::State& state)
{
    DecodePng(state, gAvatars + "/png2000");
}

double ResidentMiB()
{
    return (double)ResidentBytes() / (1024.0 * 1024.0);
}

void BM_Memory_BigThenSmall(benchmark::State& state)
{
    VEKWindow* window = Window().Window();
    QuietStdout quiet;
    double small = 0, big = 0, after = 0;
    for (auto _ : state) {
        window->ManageLogo((char*)"png64");
        small = ResidentMiB();
        window->ManageLogo((char*)"photo12mp");
        big = ResidentMiB();
        window->ManageLogo((char*)"png64");
        after = ResidentMiB();
    }
    state.counters["rss_small_MiB"] = small;
    state.counters["rss_12mp_MiB"] = big;
    state.counters["rss_after_MiB"] = after;
}

} // namespace

BENCHMARK(BM_ManageLogo_Png64);
BENCHMARK(BM_Libpng_Png64);
BENCHMARK(BM_ManageLogo_Jpeg300x200);
BENCHMARK(BM_Libjpeg_Jpeg300x200);
BENCHMARK(BM_ManageLogo_Jpeg12MP)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Libjpeg_Jpeg12MP)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ManageLogo_Png2000)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Libpng_Png2000)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Memory_BigThenSmall)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    PrepareAvatars();
    PairReporter reporter;
    reporter.AddPair("64x64 PNG", "BM_ManageLogo_Png64", "BM_Libpng_Png64", 1.5);
    reporter.AddPair("300x200 JPEG", "BM_ManageLogo_Jpeg300x200", "BM_Libjpeg_Jpeg300x200", 1.5);
    reporter.AddPair("4000x3000 JPEG", "BM_ManageLogo_Jpeg12MP", "BM_Libjpeg_Jpeg12MP", 1.3);
    reporter.AddPair("2000x2000 PNG", "BM_ManageLogo_Png2000", "BM_Libpng_Png2000", 1.3);
    int status = RunPairs(argc, argv, reporter);
    RemoveBigPictures();
    return status;
}
