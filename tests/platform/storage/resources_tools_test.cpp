// The rc and listres tools, run as processes on real files.

#include <GraphicsDefs.h>

#include "storage/ResourceContainer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using BPrivate::ResourceContainer;
using BPrivate::ResourceItem;

namespace
{

using Bytes = std::vector<uint8>;

const std::string kBuild = VEK_BUILD_DIR;
const std::string kRdef = std::string(VEK_SOURCE_DIR) + "/resources/VEK.rdef";

class Tools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/resources_tools_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        fFolder = pattern;
        fProgram = fFolder + "/program";
        std::filesystem::copy_file("/bin/true", fProgram);
    }
    void TearDown() override { std::filesystem::remove_all(fFolder); }

    struct Result {
        int status;
        std::string out, err;
    };

    Result Run(const std::string& arguments)
    {
        std::string outPath = fFolder + "/out", errPath = fFolder + "/err";
        int status = system((arguments + " >" + outPath + " 2>" + errPath).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(outPath), ReadText(errPath)};
    }

    Result Rc(const std::string& rdef, const std::string& target)
    {
        return Run(kBuild + "/rc '" + rdef + "' '" + target + "'");
    }

    std::string WriteRdef(const std::string& text)
    {
        std::string path = fFolder + "/test.rdef";
        std::ofstream(path) << text;
        return path;
    }

    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ResourceContainer ReadResources(const std::string& path)
    {
        std::string text = ReadText(path);
        BMemoryIO io(text.data(), text.size());
        ResourceContainer container;
        EXPECT_EQ(container.ReadFrom(io), B_OK);
        return container;
    }

    std::string fFolder;
    std::string fProgram;
};

uint32 WordAt(const Bytes& data, size_t at)
{
    uint32 value;
    memcpy(&value, data.data() + at, sizeof(value));
    return value;
}

} // namespace

TEST_F(Tools, ProgramResourcesAreListed)
{
    Result attached = Rc(kRdef, fProgram);
    ASSERT_EQ(attached.status, 0) << attached.err;
    EXPECT_EQ(attached.err, "");

    Result listed = Run(kBuild + "/listres " + fProgram);
    EXPECT_EQ(listed.status, 0) << listed.err;
    std::istringstream lines(listed.out);
    struct Expected {
        const char* type;
        long id;
        unsigned long size;
        const char* name;
    } expected[] = {
        {"'MIMS'", 1, 21, "BEOS:APP_SIG"},        {"'MIMS'", 2, 35, "BEOS:TYPE"},
        {"'ICON'", 101, 1024, "BEOS:L:STD_ICON"}, {"'MICN'", 101, 256, "BEOS:M:STD_ICON"},
        {"'APPV'", 1, 680, "BEOS:APP_VERSION"},   {"'APPF'", 1, 4, "BEOS:APP_FLAGS"},
    };
    for (const Expected& resource : expected) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << listed.out;
        std::istringstream fields(line);
        std::string type, name;
        long id = 0;
        unsigned long size = 0;
        fields >> type >> id >> size >> name;
        EXPECT_EQ(type, resource.type) << line;
        EXPECT_EQ(id, resource.id) << line;
        EXPECT_EQ(size, resource.size) << line;
        EXPECT_EQ(name, resource.name) << line;
    }
    std::string extra;
    EXPECT_FALSE(std::getline(lines, extra)) << extra;

    // Attaching again replaces: the same file comes out.
    std::string once = ReadText(fProgram);
    ASSERT_EQ(Rc(kRdef, fProgram).status, 0);
    EXPECT_EQ(ReadText(fProgram), once);
    EXPECT_EQ(Run(fProgram).status, 0);
}

TEST_F(Tools, ProgramResourceContents)
{
    ASSERT_EQ(Rc(kRdef, fProgram).status, 0);
    ResourceContainer resources = ReadResources(fProgram);

    const ResourceItem* flags = resources.Find('APPF', 1);
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(flags->data, Bytes(4, 0));

    const ResourceItem* signature = resources.Find('MIMS', "BEOS:APP_SIG");
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(std::string(signature->data.begin(), signature->data.end()),
              std::string("application/x-nw-PXL", 21));
    const ResourceItem* type = resources.Find('MIMS', 2);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(std::string(type->data.begin(), type->data.end()),
              std::string("application/x-vnd.Be-elfexecutable", 35));

    const ResourceItem* version = resources.Find('APPV', 1);
    ASSERT_NE(version, nullptr);
    ASSERT_EQ(version->data.size(), 680u);
    const Bytes& v = version->data;
    EXPECT_EQ(WordAt(v, 0), 0u);
    EXPECT_EQ(WordAt(v, 4), 8u);
    EXPECT_EQ(WordAt(v, 8), 0u);
    EXPECT_EQ(WordAt(v, 12), 0u);
    EXPECT_EQ(WordAt(v, 16), 0u);
    const char* shortInfo = reinterpret_cast<const char*>(&v[20]);
    const char* longInfo = reinterpret_cast<const char*>(&v[84]);
    EXPECT_GT(strnlen(shortInfo, 64), 0u);
    EXPECT_LT(strnlen(shortInfo, 64), 64u);
    EXPECT_GT(strnlen(longInfo, 256), strnlen(shortInfo, 64));
    EXPECT_LT(strnlen(longInfo, 256), 256u);
    EXPECT_EQ(Bytes(v.begin() + 340, v.end()), Bytes(340, 0)) << "system version not empty";

    // Icons: mostly opaque, transparent around, more than a couple of colours.
    for (auto [iconType, side] : {std::pair<type_code, size_t>{'ICON', 32}, {'MICN', 16}}) {
        const ResourceItem* icon = resources.Find(iconType, 101);
        ASSERT_NE(icon, nullptr);
        ASSERT_EQ(icon->data.size(), side * side);
        EXPECT_EQ(icon->data[0], B_TRANSPARENT_MAGIC_CMAP8);
        size_t transparent = 0;
        std::vector<bool> used(256);
        for (uint8 pixel : icon->data) {
            transparent += pixel == B_TRANSPARENT_MAGIC_CMAP8;
            used[pixel] = true;
        }
        EXPECT_GT(transparent, side);
        EXPECT_LT(transparent, side * side / 2);
        EXPECT_GE(std::count(used.begin(), used.end(), true), 6);
    }
}

TEST_F(Tools, DefinitionFormat)
{
    std::string rdef = WriteRdef("# every kind of content\n"
                                 "color x #ff0000   # nearest red\n"
                                 "color # 63\n"
                                 "color - transparent\n"
                                 "resource 'RAWT' -5\n"
                                 "    int8 -1 127\n"
                                 "    int16 -2\n"
                                 "    uint32 0xdeadbeef\n"
                                 "    int64 -1\n"
                                 "    text \"a\\tb\\\"#\\x41\"  # a comment\n"
                                 "    string \"\"\n"
                                 "    hex 00ff 1a\n"
                                 "end\n"
                                 "\n"
                                 "resource 0x41424344 7 \"pixel art\"\n"
                                 "    pixels 3 2\n"
                                 "    x#-\n"
                                 "      -x#  \n"
                                 "    version 1 2 3 final 9 \"s\" \"l\"\n"
                                 "end\n");
    Result compiled = Rc(rdef, fProgram);
    ASSERT_EQ(compiled.status, 0) << compiled.err;

    ResourceContainer resources = ReadResources(fProgram);
    ASSERT_EQ(resources.Items().size(), 2u);
    const ResourceItem& raw = resources.Items()[0];
    EXPECT_EQ(raw.type, type_code('RAWT'));
    EXPECT_EQ(raw.id, -5);
    EXPECT_EQ(raw.name, "");
    Bytes expected = {0xff, 0x7f, 0xfe, 0xff, 0xef, 0xbe, 0xad, 0xde};
    expected.insert(expected.end(), 8, 0xff);
    for (char c : std::string("a\tb\"#A"))
        expected.push_back(uint8(c));
    expected.insert(expected.end(), {0, 0x00, 0xff, 0x1a});
    EXPECT_EQ(raw.data, expected);

    const ResourceItem& art = resources.Items()[1];
    EXPECT_EQ(art.type, type_code('ABCD'));
    EXPECT_EQ(art.name, "pixel art");
    ASSERT_EQ(art.data.size(), 6u + 340u);
    const color_map* map = system_colors();
    EXPECT_EQ(map->color_list[art.data[0]], make_color(255, 0, 0));
    EXPECT_EQ(Bytes(art.data.begin(), art.data.begin() + 6),
              (Bytes{art.data[0], 63, 255, 255, art.data[0], 63}));
    EXPECT_EQ(WordAt(art.data, 6), 1u);
    EXPECT_EQ(WordAt(art.data, 6 + 12), 5u);
    EXPECT_EQ(WordAt(art.data, 6 + 16), 9u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&art.data[6 + 20]), "s");
    EXPECT_STREQ(reinterpret_cast<const char*>(&art.data[6 + 84]), "l");
}

TEST_F(Tools, BadDefinitionsFailWithOneLineAndLeaveTheFile)
{
    const std::string original = ReadText(fProgram);
    struct Case {
        const char* text;
        const char* where;
    } cases[] = {
        {"resource 'APPF' 1\n    int32 0\n", ":2: missing 'end'"},
        {"resource 'APPF' 1\n    int8 128\nend\n", ":2: bad or out-of-range number '128'"},
        {"resource 'APPF' 1\n    uint16 -1\nend\n", ":2: bad or out-of-range number '-1'"},
        {"resource 'APPF' 99999999999\nend\n", ":1: bad or out-of-range number"},
        {"resource 'APP' 1\nend\n", ":1: a type code has four characters"},
        {"resource 'APPF' 1\n    string \"open\nend\n", ":2: unterminated quote"},
        {"resource 'APPF' 1\n    float 1.5\nend\n", ":2: unknown content 'float'"},
        {"int32 5\n", ":1: content outside a resource"},
        {"end\n", ":1: 'end' without 'resource'"},
        {"resource 'APPF' 1\nend\nresource 'APPF' 1\nend\n", ":3: duplicate resource"},
        {"color a 1\nresource 'ICON' 1\n    pixels 2 2\n    aa\n    a\nend\n",
         ":5: row has 1 pixels, expected 2"},
        {"color a 1\nresource 'ICON' 1\n    pixels 2 2\n    aa\n    ab\nend\n",
         ":5: no colour for 'b'"},
        {"resource 'ICON' 1\n    pixels 2 3\n", ":2: picture ends after 0 of 3 rows"},
        {"resource 'ICON' 1\n    pixels 100000 100000\nend\n", ":2: a picture has at most"},
        {"color ab 1\n", ":1: a colour is one printable character"},
        {"color a #12345g\n", ":1: bad colour '#12345g'"},
        {"resource 'APPV' 1\n    version 1 2 3 4 5 \"s\"\nend\n", ":2: usage: version"},
        {"resource 'APPV' 1\n    version 1 2 3 nightly 5 \"s\" \"l\"\nend\n",
         ":2: bad or out-of-range number 'nightly'"},
        {"resource 'APPV' 1\n    hex 0g\nend\n", ":2: bad hex digits '0g'"},
        {"resource 'APPV' 1\n    text \"\\q\"\nend\n", ":2: unknown escape \\q"},
    };
    for (const Case& c : cases) {
        std::string rdef = WriteRdef(c.text);
        Result result = Rc(rdef, fProgram);
        EXPECT_EQ(result.status, 1) << c.text;
        EXPECT_EQ(result.out, "") << c.text;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(rdef + c.where), std::string::npos)
            << c.text << " gave: " << result.err;
        EXPECT_EQ(ReadText(fProgram), original) << c.text;
    }

    std::string longText(64, 'x');
    Result tooLong =
        Rc(WriteRdef("resource 'APPV' 1\n    version 0 0 0 0 0 \"" + longText + "\" \"\"\nend\n"),
           fProgram);
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find(":2: version texts are at most 63 and 255 bytes"), std::string::npos)
        << tooLong.err;
}

TEST_F(Tools, UsageAndFileErrors)
{
    Result help = Run(kBuild + "/rc --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("pixels WIDTH HEIGHT"), std::string::npos);
    EXPECT_EQ(Run(kBuild + "/rc").status, 1);
    EXPECT_EQ(Run(kBuild + "/rc --check " + kRdef).status, 0);

    std::string text = fFolder + "/notes.txt";
    std::ofstream(text) << "not a program\n";
    Result notElf = Rc(kRdef, text);
    EXPECT_EQ(notElf.status, 1);
    EXPECT_EQ(notElf.err, "rc: " + text + ": not an ELF file\n");
    EXPECT_EQ(ReadText(text), "not a program\n");

    Result missingRdef = Rc(fFolder + "/none.rdef", fProgram);
    EXPECT_EQ(missingRdef.status, 1);
    EXPECT_NE(missingRdef.err.find("none.rdef"), std::string::npos);
    Result missingTarget = Rc(kRdef, fFolder + "/none");
    EXPECT_EQ(missingTarget.status, 1);
    EXPECT_NE(missingTarget.err.find("No such file or directory"), std::string::npos)
        << missingTarget.err;

    Result listHelp = Run(kBuild + "/listres --help");
    EXPECT_EQ(listHelp.status, 0);
    EXPECT_NE(listHelp.out.find("usage: listres FILE"), std::string::npos);
    EXPECT_EQ(Run(kBuild + "/listres").status, 1);

    Result none = Run(kBuild + "/listres " + fProgram);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "listres: " + fProgram + ": no resources\n");

    // Several files: each list under its name; a failing one makes the status 1.
    std::string second = fFolder + "/second";
    std::filesystem::copy_file(fProgram, second);
    ASSERT_EQ(Rc(kRdef, second).status, 0);
    Result several = Run(kBuild + "/listres " + second + " " + fFolder + "/none " + second);
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(several.out.find(second + ":\n'MIMS'"), 0u) << several.out;
    EXPECT_EQ(std::count(several.out.begin(), several.out.end(), '\n'), 14);
    EXPECT_NE(several.err.find("listres: " + fFolder + "/none: No such file or directory"),
              std::string::npos)
        << several.err;
}
