#include <String.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

namespace
{

std::string FromText(const char* string, int32 maxLength = -1)
{
    if (string == NULL)
        return std::string();
    size_t length = maxLength < 0 ? strlen(string) : strnlen(string, (size_t)maxLength);
    return std::string(string, length);
}

int32 Clamp(int32 value, int32 low, int32 high)
{
    return value < low ? low : (value > high ? high : value);
}

} // namespace

BString::BString() = default;

BString::BString(const char* string) : fData(FromText(string)) {}

BString::BString(const char* string, int32 maxLength) : fData(FromText(string, maxLength)) {}

BString::BString(const BString& other) = default;

BString::~BString() = default;

int32 BString::CountChars() const
{
    int32 count = 0;
    for (unsigned char c : fData)
        if ((c & 0xc0) != 0x80)
            count++;
    return count;
}

BString& BString::operator=(const BString& other)
{
    fData = other.fData;
    return *this;
}

BString& BString::operator=(const char* string)
{
    fData = FromText(string);
    return *this;
}

BString& BString::operator=(char c)
{
    fData.assign(1, c);
    return *this;
}

BString& BString::SetTo(const char* string)
{
    return *this = string;
}

BString& BString::SetTo(const char* string, int32 maxLength)
{
    fData = FromText(string, maxLength);
    return *this;
}

BString& BString::SetTo(const BString& other)
{
    return *this = other;
}

BString& BString::SetTo(char c, int32 count)
{
    fData.assign(count > 0 ? (size_t)count : 0, c);
    return *this;
}

BString& BString::operator+=(const BString& other)
{
    return Append(other);
}
BString& BString::operator+=(const char* string)
{
    return Append(string);
}

BString& BString::operator+=(char c)
{
    fData.push_back(c);
    return *this;
}

BString& BString::Append(const BString& other)
{
    fData += other.fData;
    return *this;
}

BString& BString::Append(const char* string)
{
    fData += FromText(string);
    return *this;
}

BString& BString::Append(const char* string, int32 length)
{
    fData += FromText(string, length);
    return *this;
}

BString& BString::Append(char c, int32 count)
{
    if (count > 0)
        fData.append((size_t)count, c);
    return *this;
}

BString& BString::Prepend(const char* string)
{
    fData.insert(0, FromText(string));
    return *this;
}

BString& BString::Prepend(const BString& other)
{
    fData.insert(0, other.fData);
    return *this;
}

BString& BString::Prepend(const char* string, int32 length)
{
    fData.insert(0, FromText(string, length));
    return *this;
}

BString& BString::Prepend(char c, int32 count)
{
    if (count > 0)
        fData.insert(0, (size_t)count, c);
    return *this;
}

BString& BString::Insert(const char* string, int32 position)
{
    return Insert(string, -1, position);
}

BString& BString::Insert(const char* string, int32 length, int32 position)
{
    if (position < 0 || position > Length())
        return *this;
    fData.insert((size_t)position, FromText(string, length));
    return *this;
}

BString& BString::Truncate(int32 newLength, bool)
{
    if (newLength < 0)
        newLength = 0;
    if (newLength < Length())
        fData.resize((size_t)newLength);
    return *this;
}

BString& BString::Remove(int32 from, int32 length)
{
    if (from < 0 || length <= 0 || from >= Length())
        return *this;
    fData.erase((size_t)from, (size_t)length);
    return *this;
}

BString& BString::RemoveFirst(const char* string)
{
    int32 at = FindFirst(string);
    if (at >= 0)
        Remove(at, (int32)strlen(string));
    return *this;
}

BString& BString::RemoveAll(const char* string)
{
    return ReplaceAll(string, "");
}

BString& BString::CopyInto(BString& into, int32 fromOffset, int32 length) const
{
    if (&into == this)
        return into;
    fromOffset = Clamp(fromOffset, 0, Length());
    length = Clamp(length, 0, Length() - fromOffset);
    into.fData = fData.substr((size_t)fromOffset, (size_t)length);
    return into;
}

void BString::CopyInto(char* into, int32 fromOffset, int32 length) const
{
    if (into == NULL)
        return;
    fromOffset = Clamp(fromOffset, 0, Length());
    length = Clamp(length, 0, Length() - fromOffset);
    memcpy(into, fData.data() + fromOffset, (size_t)length);
}

int BString::Compare(const BString& other) const
{
    return strcmp(String(), other.String());
}

int BString::Compare(const char* string) const
{
    return strcmp(String(), string != NULL ? string : "");
}

int BString::Compare(const char* string, int32 length) const
{
    return strncmp(String(), string != NULL ? string : "", length > 0 ? (size_t)length : 0);
}

int BString::ICompare(const BString& other) const
{
    return strcasecmp(String(), other.String());
}

int BString::ICompare(const char* string) const
{
    return strcasecmp(String(), string != NULL ? string : "");
}

bool BString::operator==(const char* string) const
{
    return Compare(string) == 0;
}

bool operator==(const char* string, const BString& other)
{
    return other == string;
}

int32 BString::FindFirst(const char* string, int32 fromOffset) const
{
    if (string == NULL || fromOffset < 0 || fromOffset > Length())
        return B_ERROR;
    size_t at = fData.find(string, (size_t)fromOffset);
    return at == std::string::npos ? B_ERROR : (int32)at;
}

int32 BString::FindFirst(char c, int32 fromOffset) const
{
    if (fromOffset < 0 || fromOffset > Length())
        return B_ERROR;
    size_t at = fData.find(c, (size_t)fromOffset);
    return at == std::string::npos ? B_ERROR : (int32)at;
}

int32 BString::FindLast(const char* string) const
{
    if (string == NULL)
        return B_ERROR;
    size_t at = fData.rfind(string);
    return at == std::string::npos ? B_ERROR : (int32)at;
}

int32 BString::FindLast(char c) const
{
    size_t at = fData.rfind(c);
    return at == std::string::npos ? B_ERROR : (int32)at;
}

int32 BString::IFindFirst(const char* string, int32 fromOffset) const
{
    if (string == NULL || fromOffset < 0 || fromOffset > Length())
        return B_ERROR;
    size_t length = strlen(string);
    for (size_t at = (size_t)fromOffset; at + length <= fData.size(); at++)
        if (strncasecmp(fData.data() + at, string, length) == 0)
            return (int32)at;
    return B_ERROR;
}

BString& BString::ReplaceFirst(const char* replaceThis, const char* withThis)
{
    int32 at = FindFirst(replaceThis);
    if (at >= 0)
        fData.replace((size_t)at, strlen(replaceThis), FromText(withThis));
    return *this;
}

BString& BString::ReplaceAll(const char* replaceThis, const char* withThis, int32 fromOffset)
{
    if (replaceThis == NULL || *replaceThis == '\0' || fromOffset < 0)
        return *this;
    std::string with = FromText(withThis);
    size_t length = strlen(replaceThis);
    size_t at = (size_t)fromOffset;
    while ((at = fData.find(replaceThis, at)) != std::string::npos) {
        fData.replace(at, length, with);
        at += with.size();
    }
    return *this;
}

BString& BString::ReplaceAll(char replaceThis, char withThis, int32 fromOffset)
{
    for (size_t i = fromOffset > 0 ? (size_t)fromOffset : 0; i < fData.size(); i++)
        if (fData[i] == replaceThis)
            fData[i] = withThis;
    return *this;
}

BString& BString::ToLower()
{
    for (char& c : fData)
        c = (char)tolower((unsigned char)c);
    return *this;
}

BString& BString::ToUpper()
{
    for (char& c : fData)
        c = (char)toupper((unsigned char)c);
    return *this;
}

char BString::ByteAt(int32 index) const
{
    return index < 0 || index >= Length() ? 0 : fData[(size_t)index];
}

char* BString::LockBuffer(int32 maxLength)
{
    if (maxLength > Length())
        fData.resize((size_t)maxLength);
    return fData.data();
}

BString& BString::UnlockBuffer(int32 length)
{
    if (length < 0)
        length = (int32)strnlen(fData.data(), fData.size());
    fData.resize((size_t)length);
    return *this;
}

BString& BString::operator<<(const char* string)
{
    return Append(string);
}
BString& BString::operator<<(const BString& other)
{
    return Append(other);
}
BString& BString::operator<<(char c)
{
    return *this += c;
}

BString& BString::operator<<(int value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(unsigned int value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(long value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(unsigned long value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(long long value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(unsigned long long value)
{
    fData += std::to_string(value);
    return *this;
}

BString& BString::operator<<(float value)
{
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "%.2f", value);
    fData += buffer;
    return *this;
}
