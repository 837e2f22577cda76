#ifndef _SERVER_KEYMAP_H
#define _SERVER_KEYMAP_H

#include <SupportDefs.h>

#include <string>

namespace BPrivate
{

// The modifier bits a key holds down (B_CAPS_LOCK for caps lock, which
// toggles); 0 for other keys.
uint32 modifier_bits(int32 key);

// What the standard keymap types for a key under the given modifiers ("" for
// none), and the key's unmodified character.
std::string typed_text(int32 key, uint32 modifiers, int32* rawChar);

} // namespace BPrivate

#endif
