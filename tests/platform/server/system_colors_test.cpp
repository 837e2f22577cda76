#include <GraphicsDefs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

namespace
{

int Index555(const rgb_color& color)
{
    return ((color.red >> 3) << 10) | ((color.green >> 3) << 5) | (color.blue >> 3);
}

double Distance(const rgb_color& a, const rgb_color& b)
{
    double dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
    return std::sqrt(dr * dr + dg * dg + db * db);
}

double NearestDistance(const color_map* map, const rgb_color& color)
{
    double best = 1e9;
    for (int i = 0; i < 255; i++)
        best = std::min(best, Distance(map->color_list[i], color));
    return best;
}

} // namespace

TEST(SystemColors, FixedEntries)
{
    const color_map* map = system_colors();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map, system_colors());
    const rgb_color* list = map->color_list;

    for (int i = 0; i < 32; i++)
        EXPECT_EQ(list[i], make_color(i * 8, i * 8, i * 8)) << i;
    for (int step = 0; step < 10; step++) {
        int level = 255 - 25 * step;
        EXPECT_EQ(list[32 + step], make_color(0, 0, level)) << step;
        EXPECT_EQ(list[42 + step], make_color(level, 0, 0)) << step;
        EXPECT_EQ(list[52 + step], make_color(0, level, 0)) << step;
    }
    EXPECT_EQ(list[41], make_color(0, 0, 30));
    EXPECT_EQ(list[62], make_color(0, 152, 51));
    EXPECT_EQ(list[63], make_color(255, 255, 255));

    EXPECT_EQ(B_TRANSPARENT_MAGIC_CMAP8, 255);
    EXPECT_EQ(B_TRANSPARENT_COLOR, make_color(0x77, 0x74, 0x77, 0x00));
    EXPECT_EQ(list[255], B_TRANSPARENT_COLOR);
}

TEST(SystemColors, CubeEntriesAreDistinctAndOpaque)
{
    const rgb_color* list = system_colors()->color_list;
    const std::set<int> levels = {0, 51, 102, 152, 203, 255};
    std::set<std::tuple<int, int, int>> seen;
    int cubeColors = 0;
    for (int i = 64; i < 255; i++) {
        EXPECT_EQ(list[i].alpha, 255) << i;
        EXPECT_TRUE(seen.insert({list[i].red, list[i].green, list[i].blue}).second)
            << "duplicate at " << i;
        if (levels.count(list[i].red) && levels.count(list[i].green) && levels.count(list[i].blue))
            cubeColors++;
    }
    EXPECT_EQ(cubeColors, 188);
    // Colours an icon needs most must be there exactly.
    for (rgb_color wanted : {make_color(255, 255, 0), make_color(255, 152, 0),
                             make_color(0, 203, 255), make_color(255, 255, 203)}) {
        EXPECT_TRUE(seen.count({wanted.red, wanted.green, wanted.blue}))
            << int(wanted.red) << "," << int(wanted.green) << "," << int(wanted.blue);
    }
}

TEST(SystemColors, IndexMapFindsEveryOpaqueEntryAndNeverTransparent)
{
    const color_map* map = system_colors();
    for (int i = 0; i < 255; i++) {
        const rgb_color& color = map->color_list[i];
        // Exact entries whose channels are 5-bit expansions map back to themselves.
        uint8 index = map->index_map[Index555(color)];
        const rgb_color& found = map->color_list[index];
        EXPECT_LE(std::abs(found.red - color.red), 8) << i;
        EXPECT_LE(std::abs(found.green - color.green), 8) << i;
        EXPECT_LE(std::abs(found.blue - color.blue), 8) << i;
    }
    for (int i = 0; i < 32768; i++)
        ASSERT_NE(map->index_map[i], B_TRANSPARENT_MAGIC_CMAP8) << i;
    for (int i = 0; i < 32768; i += 97) {
        rgb_color color = make_color(((i >> 10) & 31) << 3, ((i >> 5) & 31) << 3, (i & 31) << 3);
        EXPECT_LE(Distance(map->color_list[map->index_map[i]], color),
                  NearestDistance(map, color) + 14.0)
            << i;
    }
    EXPECT_EQ(map->index_map[0], 0);
    EXPECT_EQ(map->color_list[map->index_map[0x7fff]], make_color(255, 255, 255));
}

TEST(SystemColors, InversionMapPicksTheNearestToTheInverse)
{
    const color_map* map = system_colors();
    EXPECT_EQ(map->color_list[map->inversion_map[0]], make_color(255, 255, 255));
    EXPECT_EQ(map->color_list[map->inversion_map[63]], make_color(0, 0, 0));
    EXPECT_EQ(map->inversion_map[255], 255);
    for (int i = 0; i < 255; i++) {
        const rgb_color& color = map->color_list[i];
        rgb_color inverse = make_color(255 - color.red, 255 - color.green, 255 - color.blue);
        ASSERT_NE(map->inversion_map[i], 255) << i;
        // Slack for the 5-bit quantisation of the lookup.
        EXPECT_LE(Distance(map->color_list[map->inversion_map[i]], inverse),
                  NearestDistance(map, inverse) + 14.0)
            << i;
    }
}
