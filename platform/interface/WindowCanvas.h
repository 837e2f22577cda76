#ifndef _INTERFACE_WINDOW_CANVAS_H
#define _INTERFACE_WINDOW_CANVAS_H

#include <SupportDefs.h>

#include <algorithm>
#include <vector>

#include "interface/DisplayLink.h"

namespace BPrivate
{

// The pixel buffer that a window's views draw into.
class WindowCanvas
{
public:
    // Sizes in pixels; the old pixels are lost.
    void Resize(int32 width, int32 height)
    {
        width = std::max<int32>(1, width);
        height = std::max<int32>(1, height);
        if (width == fCanvas.width && height == fCanvas.height)
            return;
        fBytes.assign((size_t)width * height * 4, 0);
        fCanvas.bits = fBytes.data();
        fCanvas.width = width;
        fCanvas.height = height;
        fCanvas.bytesPerRow = width * 4;
    }

    Canvas& Get() { return fCanvas; }

private:
    std::vector<uint8> fBytes;
    Canvas fCanvas;
};

} // namespace BPrivate

#endif
