#ifndef _DATA_IO_H
#define _DATA_IO_H

#include <SupportDefs.h>

#include <vector>

// A stream of bytes.
class BDataIO
{
public:
    BDataIO();
    virtual ~BDataIO();

    virtual ssize_t Read(void* buffer, size_t size) = 0;
    virtual ssize_t Write(const void* buffer, size_t size) = 0;

private:
    BDataIO(const BDataIO&) = delete;
    BDataIO& operator=(const BDataIO&) = delete;
};

// A stream with a position, read and written at offsets.
class BPositionIO : public BDataIO
{
public:
    BPositionIO();
    virtual ~BPositionIO();

    virtual ssize_t Read(void* buffer, size_t size);
    virtual ssize_t Write(const void* buffer, size_t size);

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;

    virtual off_t Seek(off_t position, uint32 seekMode) = 0;
    virtual off_t Position() const = 0;

    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;
};

// A stream in memory that the object allocates and grows.
class BMallocIO : public BPositionIO
{
public:
    BMallocIO();
    virtual ~BMallocIO();

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);
    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;
    virtual status_t SetSize(off_t size);

    void SetBlockSize(size_t blockSize) {}
    const void* Buffer() const { return fData.data(); }
    size_t BufferLength() const { return fData.size(); }

private:
    std::vector<char> fData;
    off_t fPosition = 0;
};

// A stream over a caller's buffer of fixed size.
class BMemoryIO : public BPositionIO
{
public:
    BMemoryIO(void* data, size_t length);
    BMemoryIO(const void* data, size_t length);
    virtual ~BMemoryIO();

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);
    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;
    virtual status_t SetSize(off_t size);

private:
    bool fReadOnly;
    char* fBuffer;
    size_t fLength;
    size_t fBufferSize;
    off_t fPosition = 0;
};

#endif
