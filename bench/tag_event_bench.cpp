// The cost of one tag event through the window, with a 1,000-entry avatar list
// whose last entry matches and a 64 x 64 PNG, against reading that list and
// decoding that picture alone.

#include <benchmark/benchmark.h>

#include <Message.h>

#include <png.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <vector>

#include "BenchWindow.h"
#include "Pairs.h"
#include "support/TestPictures.h"

namespace
{

std::string gList;
std::string gPicture;

void PrepareList()
{
    std::string dir = BenchAppDir();
    std::filesystem::create_directories(dir + "/avatars");
    gPicture = dir + "/avatars/person999";
    TestPictures::WritePng(gPicture, 64, 64, {90, 60, 200, 255});
    std::string list = "# a thousand people\n";
    for (int i = 0; i < 1000; i++) {
        char line[64];
        snprintf(line, sizeof(line), "person%d|04%06d 05%06d\n", i, i * 7, i * 11);
        list += line;
    }
    gList = dir + "/rfid_avatar_list";
    TestPictures::WriteText(gList, list);
}

BenchWindow& Window()
{
    static BenchWindow window;
    return window;
}

void BM_ShowRfidTag_LastOf1000(benchmark::State& state)
{
    VEKWindow* window = Window().Window();
    BMessage event('RFID');
    event.AddInt32("_time", 57);
    event.AddString("_tagstr", "04006993"); // 999 * 7
    QuietStdout quiet;
    for (auto _ : state)
        window->MessageReceived(&event);
}

void BM_ReadListAndDecode(benchmark::State& state)
{
    for (auto _ : state) {
        FILE* list = fopen(gList.c_str(), "r");
        char line[256];
        while (fgets(line, sizeof(line), list) != NULL)
            if (strstr(line, "4006993") != NULL)
                break;
        fclose(list);
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_file(&image, gPicture.c_str());
        image.format = PNG_FORMAT_BGRA;
        std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

} // namespace

BENCHMARK(BM_ShowRfidTag_LastOf1000);
BENCHMARK(BM_ReadListAndDecode);

int main(int argc, char** argv)
{
    PrepareList();
    PairReporter reporter;
    reporter.AddPair("tag event, 1,000-entry list and a 64x64 PNG", "BM_ShowRfidTag_LastOf1000",
                     "BM_ReadListAndDecode", 1.5);
    return RunPairs(argc, argv, reporter);
}
