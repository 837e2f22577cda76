#include <DataIO.h>

#include <algorithm>
#include <stdio.h>
#include <string.h>

BDataIO::BDataIO() = default;
BDataIO::~BDataIO() = default;

BPositionIO::BPositionIO() = default;
BPositionIO::~BPositionIO() = default;

ssize_t BPositionIO::Read(void* buffer, size_t size)
{
    off_t position = Position();
    ssize_t result = ReadAt(position, buffer, size);
    if (result > 0)
        Seek(position + result, SEEK_SET);
    return result;
}

ssize_t BPositionIO::Write(const void* buffer, size_t size)
{
    off_t position = Position();
    ssize_t result = WriteAt(position, buffer, size);
    if (result > 0)
        Seek(position + result, SEEK_SET);
    return result;
}

status_t BPositionIO::SetSize(off_t)
{
    return B_ERROR;
}

status_t BPositionIO::GetSize(off_t* size) const
{
    if (size == NULL)
        return B_BAD_VALUE;
    BPositionIO* self = const_cast<BPositionIO*>(this);
    off_t position = self->Position();
    off_t end = self->Seek(0, SEEK_END);
    self->Seek(position, SEEK_SET);
    if (end < 0)
        return (status_t)end;
    *size = end;
    return B_OK;
}

// ---------------------------------------------------------------------------
// BMallocIO

BMallocIO::BMallocIO() = default;
BMallocIO::~BMallocIO() = default;

ssize_t BMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
    if (buffer == NULL || position < 0)
        return B_BAD_VALUE;
    if ((size_t)position >= fData.size())
        return 0;
    size_t count = std::min(size, fData.size() - (size_t)position);
    memcpy(buffer, fData.data() + position, count);
    return (ssize_t)count;
}

ssize_t BMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (buffer == NULL || position < 0)
        return B_BAD_VALUE;
    if ((size_t)position + size > fData.size())
        fData.resize((size_t)position + size);
    memcpy(fData.data() + position, buffer, size);
    return (ssize_t)size;
}

off_t BMallocIO::Seek(off_t position, uint32 seekMode)
{
    off_t base = seekMode == SEEK_CUR ? fPosition : seekMode == SEEK_END ? (off_t)fData.size() : 0;
    if (base + position < 0)
        return B_BAD_VALUE;
    fPosition = base + position;
    return fPosition;
}

off_t BMallocIO::Position() const
{
    return fPosition;
}

status_t BMallocIO::SetSize(off_t size)
{
    if (size < 0)
        return B_BAD_VALUE;
    fData.resize((size_t)size);
    return B_OK;
}

// ---------------------------------------------------------------------------
// BMemoryIO

BMemoryIO::BMemoryIO(void* data, size_t length)
    : fReadOnly(false), fBuffer((char*)data), fLength(length), fBufferSize(length)
{
}

BMemoryIO::BMemoryIO(const void* data, size_t length)
    : fReadOnly(true), fBuffer((char*)data), fLength(length), fBufferSize(length)
{
}

BMemoryIO::~BMemoryIO() = default;

ssize_t BMemoryIO::ReadAt(off_t position, void* buffer, size_t size)
{
    if (buffer == NULL || position < 0)
        return B_BAD_VALUE;
    if ((size_t)position >= fLength)
        return 0;
    size_t count = std::min(size, fLength - (size_t)position);
    memcpy(buffer, fBuffer + position, count);
    return (ssize_t)count;
}

ssize_t BMemoryIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (buffer == NULL || position < 0)
        return B_BAD_VALUE;
    if ((size_t)position >= fBufferSize)
        return 0;
    size_t count = std::min(size, fBufferSize - (size_t)position);
    memcpy(fBuffer + position, buffer, count);
    if ((size_t)position + count > fLength)
        fLength = (size_t)position + count;
    return (ssize_t)count;
}

off_t BMemoryIO::Seek(off_t position, uint32 seekMode)
{
    off_t base = seekMode == SEEK_CUR ? fPosition : seekMode == SEEK_END ? (off_t)fLength : 0;
    if (base + position < 0)
        return B_BAD_VALUE;
    fPosition = base + position;
    return fPosition;
}

off_t BMemoryIO::Position() const
{
    return fPosition;
}

status_t BMemoryIO::SetSize(off_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (size < 0 || (size_t)size > fBufferSize)
        return B_ERROR;
    fLength = (size_t)size;
    return B_OK;
}
