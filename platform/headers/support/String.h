#ifndef _B_STRING_H
#define _B_STRING_H

#include <SupportDefs.h>

#include <string>

// A byte string; lengths count bytes.
class BString
{
public:
    BString();
    BString(const char* string);
    BString(const char* string, int32 maxLength);
    BString(const BString& other);
    ~BString();

    const char* String() const { return fData.c_str(); }
    int32 Length() const { return (int32)fData.size(); }
    int32 CountChars() const;

    BString& operator=(const BString& other);
    BString& operator=(const char* string);
    BString& operator=(char c);
    BString& SetTo(const char* string);
    BString& SetTo(const char* string, int32 maxLength);
    BString& SetTo(const BString& other);
    BString& SetTo(char c, int32 count);

    BString& operator+=(const BString& other);
    BString& operator+=(const char* string);
    BString& operator+=(char c);
    BString& Append(const BString& other);
    BString& Append(const char* string);
    BString& Append(const char* string, int32 length);
    BString& Append(char c, int32 count);

    BString& Prepend(const char* string);
    BString& Prepend(const BString& other);
    BString& Prepend(const char* string, int32 length);
    BString& Prepend(char c, int32 count);

    BString& Insert(const char* string, int32 position);
    BString& Insert(const char* string, int32 length, int32 position);

    BString& Truncate(int32 newLength, bool lazy = true);
    BString& Remove(int32 from, int32 length);
    BString& RemoveFirst(const char* string);
    BString& RemoveAll(const char* string);

    BString& CopyInto(BString& into, int32 fromOffset, int32 length) const;
    void CopyInto(char* into, int32 fromOffset, int32 length) const;

    int Compare(const BString& other) const;
    int Compare(const char* string) const;
    int Compare(const char* string, int32 length) const;
    int ICompare(const BString& other) const;
    int ICompare(const char* string) const;

    bool operator==(const BString& other) const { return fData == other.fData; }
    bool operator==(const char* string) const;
    bool operator!=(const BString& other) const { return !(*this == other); }
    bool operator!=(const char* string) const { return !(*this == string); }
    bool operator<(const BString& other) const { return fData < other.fData; }

    int32 FindFirst(const char* string, int32 fromOffset = 0) const;
    int32 FindFirst(char c, int32 fromOffset = 0) const;
    int32 FindLast(const char* string) const;
    int32 FindLast(char c) const;
    int32 IFindFirst(const char* string, int32 fromOffset = 0) const;

    BString& ReplaceFirst(const char* replaceThis, const char* withThis);
    BString& ReplaceAll(const char* replaceThis, const char* withThis, int32 fromOffset = 0);
    BString& ReplaceAll(char replaceThis, char withThis, int32 fromOffset = 0);

    BString& ToLower();
    BString& ToUpper();

    char operator[](int32 index) const { return fData[index]; }
    char ByteAt(int32 index) const;

    // Direct access: the buffer holds maxLength bytes plus a NUL until UnlockBuffer(),
    // which takes the length from `length`, or from the NUL when it is negative.
    char* LockBuffer(int32 maxLength);
    BString& UnlockBuffer(int32 length = -1);

    BString& operator<<(const char* string);
    BString& operator<<(const BString& other);
    BString& operator<<(char c);
    BString& operator<<(int value);
    BString& operator<<(unsigned int value);
    BString& operator<<(long value);
    BString& operator<<(unsigned long value);
    BString& operator<<(long long value);
    BString& operator<<(unsigned long long value);
    BString& operator<<(float value);

private:
    std::string fData;
};

bool operator==(const char* string, const BString& other);

#endif
