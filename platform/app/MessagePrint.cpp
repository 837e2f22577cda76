// The printed form of a message, as PrintToStream shows it.

#include <Message.h>

#include <Path.h>

#include <stdio.h>

#include <string>

#include "app/MessageLayout.h"

using namespace BPrivate;

namespace
{

// The characters of a code as they read (most significant byte first); printing with
// a precision stops at the first NUL.
void CodeCharacters(uint64 code, size_t length, char* characters)
{
    for (size_t i = 0; i < length; i++)
        characters[i] = (char)(code >> (8 * (length - 1 - i)));
    characters[length] = '\0';
}

// Text from a message as it may go to a terminal: up to its first NUL or
// length bytes, with control bytes and bytes that are not UTF-8 as \xNN.
std::string Printable(const char* text, size_t length = SIZE_MAX)
{
    std::string printable;
    const unsigned char* bytes = (const unsigned char*)text;
    size_t at = 0;
    auto continuation = [&](size_t i) { return i < length && (bytes[i] & 0xc0) == 0x80; };
    while (at < length && bytes[at] != '\0') {
        unsigned char lead = bytes[at];
        size_t size = 0;
        if (lead >= 0x20 && lead < 0x7f)
            size = 1;
        else if (lead >= 0xc2 && lead <= 0xf4) {
            size_t expected = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
            size_t found = 1;
            while (found < expected && continuation(at + found))
                found++;
            // C1 controls (U+0080 to U+009F) start terminal sequences too.
            if (found == expected && !(lead == 0xc2 && bytes[at + 1] < 0xa0))
                size = expected;
        }
        if (size == 0) {
            char escape[5];
            snprintf(escape, sizeof(escape), "\\x%02x", lead);
            printable += escape;
            at++;
        } else {
            printable.append(text + at, size);
            at += size;
        }
    }
    return printable;
}

} // namespace

void BMessage::PrintToStream() const
{
    char whatCharacters[5];
    CodeCharacters(what, 4, whatCharacters);
    printf("BMessage: what = %s (0x%lx, or %ld)\n", Printable(whatCharacters).c_str(),
           (unsigned long)what, (long)(int32)what);
    for (const Field& field : fFields)
        PrintField(field);
}

void BMessage::PrintField(const Field& field) const
{
    char typeCharacters[5];
    CodeCharacters(field.type, 4, typeCharacters);
    int32 count = field.CountItems();
    size_t firstSize;
    field.ItemAt(0, &firstSize);
    int prefixWidth =
        printf("    entry %14s, type='%s', c=%ld, ", Printable(field.name.c_str()).c_str(),
               Printable(typeCharacters).c_str(), (long)count);
    switch (field.type) {
    case B_STRING_TYPE:
    case B_REF_TYPE:
        prefixWidth += printf("size=%ld, ", (long)firstSize);
        break;
    case B_INT32_TYPE:
    case B_INT64_TYPE:
    case B_FLOAT_TYPE:
    case B_BOOL_TYPE:
    case B_RECT_TYPE:
        prefixWidth += printf("size=%2ld, ", (long)firstSize);
        break;
    default:
        // The form shows the values of the types above only.
        printf("size=%2ld,\n", (long)firstSize);
        return;
    }

    for (int32 index = 0; index < count; index++) {
        if (index > 0)
            printf("%*s", prefixWidth, "");
        printf("data[%ld]: ", (long)index);
        size_t size;
        const char* data = field.ItemAt(index, &size);
        switch (field.type) {
        case B_STRING_TYPE:
            printf("\"%s\"", Printable(data, size).c_str());
            break;
        case B_REF_TYPE: {
            int32 device = Get<int32>(data);
            int64 directory = Get<int64>(data + 4);
            const char* name = data + kRefHeaderSize;
            entry_ref ref((dev_t)(uint32)device, (ino_t)directory, name);
            BPath path(&ref);
            printf("device=%ld, directory=%lld, name=\"%s\", path=\"%s\"", (long)device,
                   (long long)directory, Printable(name).c_str(),
                   Printable(path.InitCheck() == B_OK ? path.Path() : "").c_str());
            break;
        }
        case B_INT32_TYPE: {
            int32 value = Get<int32>(data);
            char characters[5];
            CodeCharacters((uint32)value, 4, characters);
            printf("0x%lx (%ld, '%s')", (unsigned long)(uint32)value, (long)value,
                   Printable(characters).c_str());
            break;
        }
        case B_INT64_TYPE: {
            int64 value = Get<int64>(data);
            char characters[9];
            CodeCharacters((uint64)value, 8, characters);
            printf("0x%llx (%lld, '%s')", (unsigned long long)value, (long long)value,
                   Printable(characters).c_str());
            break;
        }
        case B_FLOAT_TYPE:
            printf("%.4f", (double)Get<float>(data));
            break;
        case B_BOOL_TYPE:
            printf("%d", data[0] != 0 ? 1 : 0);
            break;
        case B_RECT_TYPE:
            printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)", (double)Get<float>(data),
                   (double)Get<float>(data + 4), (double)Get<float>(data + 8),
                   (double)Get<float>(data + 12));
            break;
        }
        printf("\n");
    }
}
