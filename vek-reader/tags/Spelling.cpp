#include "tags/Spelling.h"

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>

namespace
{

bool IsSeparator(char c)
{
    return c == ':' || c == '-' || c == '.' || c == ' ';
}

// Readers write a UID with separators or without; what counts is the digits.
std::optional<std::string> HexDigits(const std::string& tag, std::string* why)
{
    std::string digits;
    for (char c : tag) {
        if (isxdigit(static_cast<unsigned char>(c))) {
            digits += static_cast<char>(toupper(static_cast<unsigned char>(c)));
        } else if (!IsSeparator(c)) {
            *why = "\"" + Printable(tag) + "\" is not a hex tag";
            return std::nullopt;
        }
    }
    if (digits.empty()) {
        *why = "\"" + Printable(tag) + "\" has no hex digits";
        return std::nullopt;
    }
    return digits;
}

std::string Decimal(const std::string& digits)
{
    // The low 32 bits are the last eight hex digits.
    size_t from = digits.size() > 8 ? digits.size() - 8 : 0;
    uint32_t value = static_cast<uint32_t>(std::stoul(digits.substr(from), nullptr, 16));
    char text[16];
    snprintf(text, sizeof(text), "%010u", value);
    return text;
}

std::string Reversed(std::string digits)
{
    // An odd count has its first byte's leading zero left out.
    if (digits.size() % 2 != 0)
        digits.insert(digits.begin(), '0');
    std::string reversed;
    for (size_t i = digits.size(); i >= 2; i -= 2)
        reversed += digits.substr(i - 2, 2);
    return reversed;
}

} // namespace

std::optional<std::string> SpellTag(const TagRead& read, Spelling spelling, std::string* why)
{
    const std::string& tag = read.tag;
    if (!IsUtf8(tag)) {
        *why = "tag is not valid UTF-8";
        return std::nullopt;
    }
    if (tag.empty()) {
        *why = "empty tag";
        return std::nullopt;
    }
    if (tag.size() > kLongestTag) {
        *why = "tag of " + std::to_string(tag.size()) + " bytes is too long";
        return std::nullopt;
    }
    if (read.typed) {
        for (char c : tag) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                *why = "typed tag has control characters";
                return std::nullopt;
            }
        }
        return tag;
    }
    std::optional<std::string> digits = HexDigits(tag, why);
    if (!digits)
        return std::nullopt;
    if (digits->size() < read.fewestDigits) {
        *why = "\"" + Printable(tag) + "\" has fewer than " + std::to_string(read.fewestDigits) +
               " hex digits";
        return std::nullopt;
    }
    switch (spelling) {
    case Spelling::kHex:
        return digits;
    case Spelling::kDecimal:
        return Decimal(*digits);
    case Spelling::kReversed:
        return Reversed(*digits);
    }
    return digits;
}

bool IsUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = text[i];
        size_t length;
        unsigned int lowest;
        if (lead < 0x80) {
            i++;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            lowest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            lowest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        unsigned int code = lead & (0x7F >> length);
        for (size_t k = 1; k < length; k++) {
            unsigned char next = text[i + k];
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string Escaped(std::string_view text)
{
    std::string shown;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = text[i];
        // A whole UTF-8 character is kept, unless it is a C1 control.
        size_t length = 0;
        if (lead >= 0x20 && lead < 0x7f) {
            length = 1;
        } else if (lead >= 0xc2 && lead <= 0xf4) {
            size_t expected = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
            bool c1 = lead == 0xc2 && i + 1 < text.size() && (unsigned char)text[i + 1] < 0xa0;
            if (i + expected <= text.size() && IsUtf8(text.substr(i, expected)) && !c1)
                length = expected;
        }
        if (length > 0) {
            shown.append(text.substr(i, length));
            i += length;
            continue;
        }
        char escaped[5];
        snprintf(escaped, sizeof(escaped), "\\x%02x", lead);
        shown += escaped;
        i++;
    }
    return shown;
}

std::string Printable(std::string_view text, size_t longest)
{
    if (text.size() <= longest)
        return Escaped(text);
    return Escaped(text.substr(0, longest)) + "…";
}
