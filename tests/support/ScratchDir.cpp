#include "support/ScratchDir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace
{

int remove_one(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

} // namespace

ScratchDir::ScratchDir()
{
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != NULL && base[0] == '/' ? base : "/tmp") + "/vek-test-XXXXXX";
    if (mkdtemp(pattern.data()) == NULL)
        throw std::runtime_error("mkdtemp failed for " + pattern);
    fPath = pattern;
}

ScratchDir::~ScratchDir()
{
    nftw(fPath.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ScratchDir::operator/(const std::string& name) const
{
    return fPath + "/" + name;
}

void ScratchDir::WriteFile(const std::string& name, const std::string& content) const
{
    std::ofstream out(*this / name, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + (*this / name));
}

std::string ScratchDir::ReadFile(const std::string& name) const
{
    std::ifstream in(*this / name, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}
