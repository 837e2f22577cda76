#ifndef VEK_TESTS_SUPPORT_SCRATCH_DIR_H
#define VEK_TESTS_SUPPORT_SCRATCH_DIR_H

#include <string>

// A fresh folder under the temp folder, removed with everything in it when the object goes.
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();

    const std::string& Path() const { return fPath; }
    // Path() + "/" + name.
    std::string operator/(const std::string& name) const;

    // Writes a file below the folder (the folders on the way must exist).
    void WriteFile(const std::string& name, const std::string& content) const;
    std::string ReadFile(const std::string& name) const;

private:
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string fPath;
};

#endif
