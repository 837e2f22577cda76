#include "server/DisplayBackend.h"

namespace BPrivate
{

namespace
{

// No screen: the server's window models and pixel buffers are all there is,
// which is what in-process tests read.
class HeadlessBackend : public DisplayBackend
{
public:
    const char* Name() const override { return "headless"; }
};

} // namespace

std::unique_ptr<DisplayBackend> make_headless_backend()
{
    return std::make_unique<HeadlessBackend>();
}

} // namespace BPrivate
