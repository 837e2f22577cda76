// The program on a real X display (Xvfb with a window manager), through the
// SDL backend, seen as a user sees it.

#include "XProgramHarness.h"

#include <png.h>

#include <sstream>
#include <thread>

namespace
{

struct Geometry {
    int x = -1, y = -1, width = -1, height = -1;
};

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    TestPictures::Color At(int x, int y) const
    {
        const uint8_t* p = &rgb[((size_t)y * width + x) * 3];
        return {p[0], p[1], p[2], 255};
    }
};

} // namespace

class ScreenTest : public XProgramTest
{
protected:
    void SetUp() override { StartDisplay({"Xvfb", "xdotool", "xwininfo", "import"}); }

    static Geometry Where(const std::string& id)
    {
        std::istringstream info(Run("xwininfo -id " + id));
        Geometry g;
        std::string line;
        while (std::getline(info, line)) {
            auto value = [&](const char* key, int* out) {
                size_t at = line.find(key);
                if (at != std::string::npos)
                    *out = std::stoi(line.substr(at + strlen(key)));
            };
            value("Absolute upper-left X:", &g.x);
            value("Absolute upper-left Y:", &g.y);
            value("Width:", &g.width);
            value("Height:", &g.height);
        }
        return g;
    }

    Screenshot Shoot()
    {
        std::string file = fRoot / "screen.png";
        Run("import -window root " + file);
        Screenshot shot;
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, file.c_str()))
            return shot;
        image.format = PNG_FORMAT_RGB;
        shot.width = image.width;
        shot.height = image.height;
        shot.rgb.resize(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, shot.rgb.data(), 0, nullptr);
        return shot;
    }

    // Waits until the window's content shows at its place.
    Geometry WaitFor(const std::string& id, int x, int y)
    {
        Geometry g;
        for (int i = 0; i < 50; i++) {
            g = Where(id);
            if (g.x == x && g.y == y)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return g;
    }
};

static void ExpectColor(const TestPictures::Color& expected, const TestPictures::Color& seen,
                        const char* what)
{
    EXPECT_EQ(expected.red, seen.red) << what;
    EXPECT_EQ(expected.green, seen.green) << what;
    EXPECT_EQ(expected.blue, seen.blue) << what;
}

TEST_F(ScreenTest, WindowShowsAtTheStoredOriginWithItsColours)
{
    Process program;
    Start(program);
    std::string id = FindWindow();
    ASSERT_FALSE(id.empty()) << program.Stderr();

    Geometry g = WaitFor(id, 100, 100);
    EXPECT_EQ(100, g.x);
    EXPECT_EQ(100, g.y);
    EXPECT_EQ(311, g.width);
    EXPECT_EQ(51, g.height);

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Screenshot shot = Shoot();
    ASSERT_GT(shot.width, 0);
    ExpectColor({237, 242, 235, 255}, shot.At(g.x + 60, g.y + 25), "main view");
    ExpectColor({250, 250, 245, 255}, shot.At(g.x + 200, g.y + 30), "tag log");

    // The user can't resize it.
    Run("xdotool windowsize " + id + " 500 300");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    g = Where(id);
    EXPECT_EQ(311, g.width);
    EXPECT_EQ(51, g.height);

    // Moved by the user, it opens there the next time.
    Run("xdotool windowmove " + id + " 400 300");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Geometry moved = Where(id);
    Quit(program);
    EXPECT_EQ(moved.x, (int)StoredFrame().left);
    EXPECT_EQ(moved.y, (int)StoredFrame().top);

    Process again;
    Start(again);
    id = FindWindow();
    ASSERT_FALSE(id.empty());
    g = WaitFor(id, moved.x, moved.y);
    EXPECT_EQ(moved.x, g.x);
    EXPECT_EQ(moved.y, g.y);
    Quit(again);
}

TEST_F(ScreenTest, StartPictureIsShownAndTheWindowFitsIt)
{
    Picture("givecard2", 100, 80, {20, 90, 200, 255});
    Process program;
    Start(program);
    std::string id = FindWindow();
    ASSERT_FALSE(id.empty());
    Geometry g = WaitFor(id, 100, 100);
    EXPECT_EQ(311, g.width);
    EXPECT_EQ(90, g.height) << "the bitmap's bounds height (79) plus 10, in pixels";

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Screenshot shot = Shoot();
    ASSERT_GT(shot.width, 0);
    ExpectColor({20, 90, 200, 255}, shot.At(g.x + 4, g.y + 4), "picture's first pixel");
    ExpectColor({20, 90, 200, 255}, shot.At(g.x + 103, g.y + 83), "picture's last pixel");
    ExpectColor({237, 242, 235, 255}, shot.At(g.x + 104, g.y + 84), "main view beside it");
    ExpectColor({237, 242, 235, 255}, shot.At(g.x + 3, g.y + 3), "main view above it");
    Quit(program);
}

TEST_F(ScreenTest, WindowsKeysReachTheKeyHandler)
{
    Process program;
    Start(program);
    std::string id = FindWindow();
    ASSERT_FALSE(id.empty());
    WaitFor(id, 100, 100);
    Run("xdotool windowactivate --sync " + id + " ; xdotool mousemove 150 120");
    Run("xdotool key Super_L");
    EXPECT_TRUE(program.WaitForStdout(" key 102 oder 103 \n", 5000)) << program.Stdout();
    Run("xdotool key Super_R");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(2u, CountOf(program.Stdout(), " key 102 oder 103 \n")) << program.Stdout();
    Run("xdotool click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(std::string::npos, program.Stdout().find("what = _M")) << "mouse input is swallowed";
    Quit(program);
}
