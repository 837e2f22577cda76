// The built executables carry the resources of resources/VEK.rdef.

#include "storage/ResourceContainer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using BPrivate::ResourceContainer;
using BPrivate::ResourceItem;

namespace
{

const std::string kBuild = VEK_BUILD_DIR;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ResourceContainer ReadResources(const std::string& path)
{
    std::string bytes = ReadText(path);
    BMemoryIO io(bytes.data(), bytes.size());
    ResourceContainer container;
    EXPECT_EQ(container.ReadFrom(io), B_OK) << path;
    return container;
}

} // namespace

TEST(ProgramResources, BothExecutablesCarryTheDefinedResources)
{
    if (!std::filesystem::exists(std::string(VEK_SOURCE_DIR) + "/app/VEK.cpp"))
        GTEST_SKIP() << "the program is not part of this tree yet";
    char pattern[] = "/tmp/resources_e2e.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string folder = pattern;
    std::string reference = folder + "/reference";
    std::filesystem::copy_file("/bin/true", reference);
    std::string command = kBuild + "/rc " + VEK_SOURCE_DIR + "/resources/VEK.rdef " + reference;
    ASSERT_EQ(system(command.c_str()), 0);
    ResourceContainer expected = ReadResources(reference);
    ASSERT_EQ(expected.Items().size(), 6u);

    for (const char* name : {"VEK_BeOS", "VEK_Zeta"}) {
        std::string executable = kBuild + "/" + name;
        ResourceContainer found = ReadResources(executable);
        ASSERT_EQ(found.Items().size(), expected.Items().size()) << name;
        for (size_t i = 0; i < found.Items().size(); i++) {
            const ResourceItem& a = expected.Items()[i];
            const ResourceItem& b = found.Items()[i];
            EXPECT_EQ(a.type, b.type) << name << " " << i;
            EXPECT_EQ(a.id, b.id) << name << " " << i;
            EXPECT_EQ(a.name, b.name) << name << " " << i;
            EXPECT_EQ(a.data, b.data) << name << " " << i;
        }
        std::string listed = folder + "/listed";
        ASSERT_EQ(system((kBuild + "/listres " + executable + " >" + listed).c_str()), 0);
        std::string text = ReadText(listed);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6) << text;
        EXPECT_NE(text.find("BEOS:APP_FLAGS"), std::string::npos) << text;
    }
    std::filesystem::remove_all(folder);
}
