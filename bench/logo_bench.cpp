// The cost of showing a picture through the window's logo against the cost of
// decoding the same file with its library alone.

#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>

#include <filesystem>
#include <vector>

#include "BenchWindow.h"
#include "support/TestPictures.h"

namespace {

std::string gAvatars;

void PrepareAvatars()
{
    gAvatars = BenchAppDir() + "/avatars";
    std::filesystem::create_directories(gAvatars);
    TestPictures::WritePng(gAvatars + "/png64", 64, 64, {30, 160, 90, 255});
    TestPictures::WriteJpeg(gAvatars + "/jpeg300", 300, 200, {200, 120, 40, 255});
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

void BM_ManageLogo_Png64(benchmark::State& state) { ShowLogo(state, "png64"); }
void BM_ManageLogo_Jpeg300x200(benchmark::State& state) { ShowLogo(state, "jpeg300"); }

void BM_Libpng_Png64(benchmark::State& state)
{
    std::string path = gAvatars + "/png64";
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

void BM_Libjpeg_Jpeg300x200(benchmark::State& state)
{
    std::string path = gAvatars + "/jpeg300";
    for (auto _ : state) {
        FILE* file = fopen(path.c_str(), "rb");
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, file);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        std::vector<JSAMPLE> pixels((size_t)cinfo.output_width * cinfo.output_height * 4);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &pixels[(size_t)cinfo.output_scanline * cinfo.output_width * 4];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        benchmark::DoNotOptimize(pixels.data());
    }
}

} // namespace

BENCHMARK(BM_ManageLogo_Png64);
BENCHMARK(BM_Libpng_Png64);
BENCHMARK(BM_ManageLogo_Jpeg300x200);
BENCHMARK(BM_Libjpeg_Jpeg300x200);

int main(int argc, char** argv)
{
    PrepareAvatars();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
