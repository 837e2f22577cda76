#ifndef VEK_READER_TAGS_SPELLING_H
#define VEK_READER_TAGS_SPELLING_H

// How a read's tag is written into the message: readers give the same card
// in different spellings, the avatar list names it in one.

#include "sources/TagSource.h"

#include <optional>
#include <string>
#include <string_view>

enum class Spelling {
    // Upper-case hex without separators: "04:a1:b2" is "04A1B2".
    kHex,
    // The low 32 bits in decimal, ten digits, as keyboard-wedge readers of
    // the same card type them.
    kDecimal,
    // The bytes in the other order: "04A1B2" is "B2A104".
    kReversed,
};

// The longest tag sent, in characters; a 10-byte UID is 20 hex digits.
constexpr size_t kLongestTag = 64;

// The tag as it is sent, or nothing with the reason in why. A typed tag
// stays as typed whatever the spelling; any other must be hex, maybe with
// blanks, ':', '-' or '.' between the digits.
std::optional<std::string> SpellTag(const TagRead& read, Spelling spelling, std::string* why);

bool IsUtf8(std::string_view text);

// text as it may be shown on a line of a log, as the client shows a sender's
// text: control bytes (C0, DEL, C1) and bytes that are no UTF-8 as \xNN.
std::string Escaped(std::string_view text);

// Escaped, cut after longest bytes with "…".
std::string Printable(std::string_view text, size_t longest = 40);

#endif
