// The screen's 8-bit colour map. It is the display's, as on the platform, where
// the kit reads it from the app server; the SDL backend needs it for the icon.

#include <GraphicsDefs.h>

#include <algorithm>
#include <array>

const uint8 B_TRANSPARENT_MAGIC_CMAP8 = 255;
const rgb_color B_TRANSPARENT_COLOR = {0x77, 0x74, 0x77, 0x00};

namespace
{

constexpr int kRampFirst = 32;
constexpr int kRampLength = 10;
constexpr int kCubeFirst = 64;
constexpr int kCubeSlots = 255 - kCubeFirst;
constexpr std::array<uint8, 6> kCubeLevels = {0, 51, 102, 152, 203, 255};

// Tones that icons want and the cube lacks: brown, orange and a skin tone.
constexpr std::array<rgb_color, 3> kExtras = {{
    {128, 64, 0, 255},
    {255, 128, 0, 255},
    {255, 220, 177, 255},
}};

int Luminance(const rgb_color& color)
{
    return 299 * color.red + 587 * color.green + 114 * color.blue;
}

// The cube's grays and its pure reds, greens and blues are left out, because the ramps
// before the cube cover them; of the rest, the darkest few give way to the extras, as dark
// tones lie closest together.
void FillCube(rgb_color* slots)
{
    std::array<rgb_color, 216> candidates;
    int count = 0;
    for (uint8 red : kCubeLevels) {
        for (uint8 green : kCubeLevels) {
            for (uint8 blue : kCubeLevels) {
                bool gray = red == green && green == blue;
                int nonzero = (red != 0) + (green != 0) + (blue != 0);
                if (gray || nonzero == 1)
                    continue;
                candidates[count++] = make_color(red, green, blue);
            }
        }
    }

    const int dropped = count - (kCubeSlots - static_cast<int>(kExtras.size()));
    std::array<int, 216> byDarkness;
    for (int i = 0; i < count; i++)
        byDarkness[i] = i;
    std::stable_sort(byDarkness.begin(), byDarkness.begin() + count, [&](int a, int b) {
        return Luminance(candidates[a]) < Luminance(candidates[b]);
    });
    std::array<bool, 216> keep{};
    for (int i = 0; i < count; i++)
        keep[byDarkness[i]] = i >= dropped;

    int slot = 0;
    for (int i = 0; i < count; i++) {
        if (keep[i])
            slots[slot++] = candidates[i];
    }
    for (const rgb_color& extra : kExtras)
        slots[slot++] = extra;
}

uint8 Expand5(int value)
{
    return static_cast<uint8>((value << 3) | (value >> 2));
}

int Distance(const rgb_color& a, int red, int green, int blue)
{
    int dr = a.red - red;
    int dg = a.green - green;
    int db = a.blue - blue;
    return dr * dr + dg * dg + db * db;
}

uint8 Nearest(const rgb_color* list, int red, int green, int blue)
{
    int best = 0;
    int bestDistance = Distance(list[0], red, green, blue);
    for (int i = 1; i < B_TRANSPARENT_MAGIC_CMAP8 && bestDistance != 0; i++) {
        int distance = Distance(list[i], red, green, blue);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<uint8>(best);
}

int Index555(int red, int green, int blue)
{
    return ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
}

color_map BuildSystemColors()
{
    color_map map{};
    map.id = 0;
    rgb_color* list = map.color_list;

    for (int i = 0; i < 32; i++) {
        uint8 level = static_cast<uint8>(i * 8);
        list[i] = make_color(level, level, level);
    }
    for (int step = 0; step < kRampLength; step++) {
        uint8 level = static_cast<uint8>(255 - 25 * step);
        list[kRampFirst + step] = make_color(0, 0, level);
        list[kRampFirst + kRampLength + step] = make_color(level, 0, 0);
        list[kRampFirst + 2 * kRampLength + step] = make_color(0, level, 0);
    }
    list[62] = make_color(0, 152, 51);
    list[63] = make_color(255, 255, 255);
    FillCube(list + kCubeFirst);
    list[B_TRANSPARENT_MAGIC_CMAP8] = B_TRANSPARENT_COLOR;

    for (int red5 = 0; red5 < 32; red5++) {
        for (int green5 = 0; green5 < 32; green5++) {
            for (int blue5 = 0; blue5 < 32; blue5++) {
                map.index_map[(red5 << 10) | (green5 << 5) | blue5] =
                    Nearest(list, Expand5(red5), Expand5(green5), Expand5(blue5));
            }
        }
    }

    for (int i = 0; i < B_TRANSPARENT_MAGIC_CMAP8; i++) {
        const rgb_color& color = list[i];
        map.inversion_map[i] =
            map.index_map[Index555(255 - color.red, 255 - color.green, 255 - color.blue)];
    }
    map.inversion_map[B_TRANSPARENT_MAGIC_CMAP8] = B_TRANSPARENT_MAGIC_CMAP8;
    return map;
}

} // namespace

const color_map* system_colors()
{
    static const color_map map = BuildSystemColors();
    return &map;
}
