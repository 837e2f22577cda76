#ifndef _INTERFACE_FONT_ENGINE_H
#define _INTERFACE_FONT_ENGINE_H

#include <Font.h>
#include <GraphicsDefs.h>
#include <Point.h>

#include "interface/DisplayLink.h"

namespace BPrivate
{

// Draws UTF-8 text with the font's face and size, the baseline's left end at
// `baseline` (canvas coordinates), blended in `color`, clipped to canvas.clip.
void draw_string(Canvas& canvas, const BFont& font, const char* text, int32 length, BPoint baseline,
                 rgb_color color);

// Width of the text's first `length` bytes (stops at a NUL byte).
float string_width(const BFont& font, const char* text, int32 length);

void font_metrics(const BFont& font, font_height* height);

// True when every glyph of the font's face has the same advance.
bool font_is_fixed(const BFont& font);

// For each of the text's first `length` bytes, the pen position (from the
// text's start) before the character that byte belongs to; offsets[length]
// is the whole width. `offsets` holds length + 1 values.
void character_offsets(const BFont& font, const char* text, int32 length, float* offsets);

// Bytes of the UTF-8 character at text[0] (1 to 4; a broken sequence counts one
// byte a character, as drawing and measuring treat it). `length` > 0.
int32 character_length(const char* text, int32 length);

// True when fontconfig knows the family, or it is one of the generic names
// ("sans-serif", "serif", "monospace" …) that always match some face.
bool font_family_exists(const char* family);

} // namespace BPrivate

#endif
