#include "storage/ResourceContainer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace BPrivate
{

namespace
{

constexpr uint32 kMagic = 0x444f1000;
constexpr uint32 kHeaderSize = 0x44;
constexpr uint32 kIndexHeaderSize = 132;
constexpr uint32 kIndexEntrySize = 12;
constexpr uint32 kIndexAlignment = 0x600;
constexpr uint32 kUnknownSectionSize = 0x168;
constexpr uint32 kSeparator = 0xffffffff;
constexpr std::array<uint32, 3> kUnusedPattern = {0xffffffff, 0x3e9, 0};

// Word positions inside the index section's header.
constexpr uint32 kIndexOffsetWord = 0;
constexpr uint32 kIndexSizeWord = 1;
constexpr uint32 kUnknownOffsetWord = 3;
constexpr uint32 kUnknownSizeWord = 4;
constexpr uint32 kInfoOffsetWord = 30;
constexpr uint32 kInfoSizeWord = 31;

constexpr uint64 kElf64Alignment = 8;
constexpr uint64 kElf32MinAlignment = 32;
// A larger segment alignment is not from a real linker; refusing it keeps the padding sane.
constexpr uint64 kMaxElfAlignment = 1 << 20;
constexpr uint32 kSectionNoBits = 8;

// Bytes read in the container's own byte order, each access checked against the end.
class ByteView
{
public:
    ByteView(const uint8* data, size_t size, bool bigEndian)
        : fData(data), fSize(size), fBigEndian(bigEndian)
    {
    }

    bool Has(uint64 offset, uint64 length) const
    {
        return offset <= fSize && length <= fSize - offset;
    }

    bool Word(uint64 offset, uint32* value) const
    {
        if (!Has(offset, 4))
            return false;
        *value = Decode(offset, 4);
        return true;
    }

    bool Half(uint64 offset, uint16* value) const
    {
        if (!Has(offset, 2))
            return false;
        *value = static_cast<uint16>(Decode(offset, 2));
        return true;
    }

    uint64 Decode(uint64 offset, int length) const
    {
        uint64 value = 0;
        for (int i = 0; i < length; i++) {
            int shift = fBigEndian ? 8 * (length - 1 - i) : 8 * i;
            value |= static_cast<uint64>(fData[offset + i]) << shift;
        }
        return value;
    }

    const uint8* At(uint64 offset) const { return fData + offset; }

private:
    const uint8* fData;
    size_t fSize;
    bool fBigEndian;
};

void PutWord(std::vector<uint8>& out, size_t offset, uint32 value)
{
    for (int i = 0; i < 4; i++)
        out[offset + i] = static_cast<uint8>(value >> (8 * i));
}

void AppendWord(std::vector<uint8>& out, uint32 value)
{
    out.resize(out.size() + 4);
    PutWord(out, out.size() - 4, value);
}

void FillPattern(std::vector<uint8>& out, size_t offset, size_t words)
{
    for (size_t i = 0; i < words; i++) {
        size_t at = offset + 4 * i;
        PutWord(out, at, kUnusedPattern[(at / 4) % kUnusedPattern.size()]);
    }
}

// Sums the bytes as big-endian words; a short tail counts as a right-aligned number.
uint32 Checksum(const uint8* data, size_t size)
{
    uint32 sum = 0;
    for (size_t offset = 0; offset < size; offset += 4) {
        uint32 word = 0;
        for (size_t i = offset; i < std::min(size, offset + 4); i++)
            word = (word << 8) | data[i];
        sum += word;
    }
    return sum;
}

bool ReadExactly(BPositionIO& file, off_t offset, void* buffer, size_t size)
{
    return file.ReadAt(offset, buffer, size) == static_cast<ssize_t>(size);
}

bool AddEnd(uint64 offset, uint64 size, uint64 fileSize, uint64* end)
{
    if (offset > fileSize || size > fileSize - offset)
        return false;
    *end = std::max(*end, offset + size);
    return true;
}

struct ElfLayout {
    bool is64;
    bool bigEndian;
    uint64 phoff, shoff;
    uint32 ehsize, phentsize, phnum, shentsize, shnum;
};

bool ParseElfHeader(const uint8* header, size_t size, ElfLayout* layout)
{
    static const uint8 kElfMagic[4] = {0x7f, 'E', 'L', 'F'};
    if (size < 52 || memcmp(header, kElfMagic, sizeof(kElfMagic)) != 0)
        return false;
    uint8 elfClass = header[4];
    uint8 encoding = header[5];
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2))
        return false;
    layout->is64 = elfClass == 2;
    layout->bigEndian = encoding == 2;
    if (layout->is64 && size < 64)
        return false;
    ByteView view(header, size, layout->bigEndian);
    if (layout->is64) {
        layout->phoff = view.Decode(32, 8);
        layout->shoff = view.Decode(40, 8);
        layout->ehsize = static_cast<uint32>(view.Decode(52, 2));
        layout->phentsize = static_cast<uint32>(view.Decode(54, 2));
        layout->phnum = static_cast<uint32>(view.Decode(56, 2));
        layout->shentsize = static_cast<uint32>(view.Decode(58, 2));
        layout->shnum = static_cast<uint32>(view.Decode(60, 2));
    } else {
        layout->phoff = view.Decode(28, 4);
        layout->shoff = view.Decode(32, 4);
        layout->ehsize = static_cast<uint32>(view.Decode(40, 2));
        layout->phentsize = static_cast<uint32>(view.Decode(42, 2));
        layout->phnum = static_cast<uint32>(view.Decode(44, 2));
        layout->shentsize = static_cast<uint32>(view.Decode(46, 2));
        layout->shnum = static_cast<uint32>(view.Decode(48, 2));
    }
    return true;
}

bool ReadTable(BPositionIO& file, uint64 fileSize, uint64 offset, uint32 entrySize, uint32 count,
               uint32 minEntrySize, std::vector<uint8>* table, uint64* end)
{
    if (count == 0)
        return true;
    if (entrySize < minEntrySize)
        return false;
    uint64 size = static_cast<uint64>(entrySize) * count;
    if (!AddEnd(offset, size, fileSize, end))
        return false;
    table->resize(size);
    return ReadExactly(file, static_cast<off_t>(offset), table->data(), size);
}

} // namespace

status_t ResourceContainer::FindContainerOffset(BPositionIO& file, off_t* offset, off_t* elfEnd)
{
    off_t size = 0;
    status_t status = file.GetSize(&size);
    if (status != B_OK)
        return status;
    uint64 fileSize = static_cast<uint64>(size);

    uint8 header[64] = {};
    size_t headerSize = std::min<uint64>(sizeof(header), fileSize);
    ElfLayout elf;
    if (!ReadExactly(file, 0, header, headerSize) || !ParseElfHeader(header, headerSize, &elf))
        return B_BAD_TYPE;

    const uint32 minHeaderSize = elf.is64 ? 64 : 52;
    uint64 end = std::max(elf.ehsize, minHeaderSize);
    if (end > fileSize)
        return B_BAD_TYPE;

    std::vector<uint8> sections;
    uint32 sectionSize = elf.is64 ? 64 : 40;
    if (elf.shoff != 0 && !ReadTable(file, fileSize, elf.shoff, elf.shentsize,
                                     std::max<uint32>(elf.shnum, 1), sectionSize, &sections, &end))
        return B_BAD_TYPE;
    ByteView sectionView(sections.data(), sections.size(), elf.bigEndian);
    uint64 sectionCount = elf.shoff != 0 ? elf.shnum : 0;
    uint64 programCount = elf.phnum;
    // Extended numbering keeps the real counts in the first section header.
    if (elf.shoff != 0 && (elf.shnum == 0 || elf.phnum == 0xffff)) {
        if (elf.shnum == 0)
            sectionCount = sectionView.Decode(elf.is64 ? 32 : 20, elf.is64 ? 8 : 4);
        if (elf.phnum == 0xffff)
            programCount = sectionView.Decode(elf.is64 ? 44 : 28, 4);
        if (sectionCount > 0xffffff || programCount > 0xffffff)
            return B_BAD_TYPE;
        if (sectionCount > 1 &&
            !ReadTable(file, fileSize, elf.shoff, elf.shentsize, static_cast<uint32>(sectionCount),
                       sectionSize, &sections, &end))
            return B_BAD_TYPE;
        sectionView = ByteView(sections.data(), sections.size(), elf.bigEndian);
    }

    std::vector<uint8> programs;
    uint32 programSize = elf.is64 ? 56 : 32;
    if (!ReadTable(file, fileSize, elf.phoff, elf.phentsize, static_cast<uint32>(programCount),
                   programSize, &programs, &end))
        return B_BAD_TYPE;
    ByteView programView(programs.data(), programs.size(), elf.bigEndian);

    uint64 alignment = elf.is64 ? kElf64Alignment : kElf32MinAlignment;
    for (uint64 i = 0; i < programCount; i++) {
        uint64 at = i * elf.phentsize;
        uint64 fileOffset = programView.Decode(at + (elf.is64 ? 8 : 4), elf.is64 ? 8 : 4);
        uint64 fileBytes = programView.Decode(at + (elf.is64 ? 32 : 16), elf.is64 ? 8 : 4);
        if (!AddEnd(fileOffset, fileBytes, fileSize, &end))
            return B_BAD_TYPE;
        if (!elf.is64) {
            uint64 segmentAlignment = programView.Decode(at + 28, 4);
            if (segmentAlignment > kMaxElfAlignment)
                return B_BAD_TYPE;
            alignment = std::max(alignment, segmentAlignment);
        }
    }
    for (uint64 i = 0; i < sectionCount; i++) {
        uint64 at = i * elf.shentsize;
        if (sectionView.Decode(at + 4, 4) == kSectionNoBits)
            continue;
        uint64 fileOffset = sectionView.Decode(at + (elf.is64 ? 24 : 16), elf.is64 ? 8 : 4);
        uint64 fileBytes = sectionView.Decode(at + (elf.is64 ? 32 : 20), elf.is64 ? 8 : 4);
        if (!AddEnd(fileOffset, fileBytes, fileSize, &end))
            return B_BAD_TYPE;
    }

    uint64 aligned = (end + alignment - 1) / alignment * alignment;
    *offset = static_cast<off_t>(aligned);
    if (elfEnd != NULL)
        *elfEnd = static_cast<off_t>(end);
    return B_OK;
}

status_t ResourceContainer::ReadFrom(BPositionIO& file)
{
    fItems.clear();
    off_t start = 0;
    status_t status = FindContainerOffset(file, &start);
    if (status != B_OK)
        return status;
    off_t size = 0;
    status = file.GetSize(&size);
    if (status != B_OK)
        return status;
    if (start >= size)
        return B_ENTRY_NOT_FOUND;
    if (size - start > kMaxContainerSize)
        return B_BAD_DATA;

    std::vector<uint8> bytes(static_cast<size_t>(size - start));
    if (!ReadExactly(file, start, bytes.data(), bytes.size()))
        return B_BAD_DATA;
    return Unflatten(bytes.data(), bytes.size());
}

status_t ResourceContainer::Unflatten(const uint8* data, size_t size)
{
    fItems.clear();
    if (data == NULL || size < kHeaderSize)
        return B_BAD_DATA;

    bool bigEndian = false;
    ByteView view(data, size, bigEndian);
    uint32 magic = 0;
    view.Word(0, &magic);
    if (magic != kMagic) {
        bigEndian = true;
        view = ByteView(data, size, bigEndian);
        view.Word(0, &magic);
        if (magic != kMagic)
            return B_BAD_DATA;
    }

    uint32 count = 0, indexOffset = 0;
    view.Word(4, &count);
    view.Word(8, &indexOffset);
    uint32 indexWords[kIndexHeaderSize / 4];
    for (uint32 i = 0; i < kIndexHeaderSize / 4; i++) {
        if (!view.Word(static_cast<uint64>(indexOffset) + 4 * i, &indexWords[i]))
            return B_BAD_DATA;
    }
    uint32 indexSize = indexWords[kIndexSizeWord];
    if (indexWords[kIndexOffsetWord] != indexOffset || indexSize < kIndexHeaderSize ||
        !view.Has(indexOffset, indexSize) ||
        count > (indexSize - kIndexHeaderSize) / kIndexEntrySize)
        return B_BAD_DATA;
    if (!view.Has(indexWords[kUnknownOffsetWord], indexWords[kUnknownSizeWord]))
        return B_BAD_DATA;

    struct Entry {
        uint32 offset, size;
        bool named = false;
    };
    std::vector<Entry> entries(count);
    uint64 totalData = 0;
    for (uint32 i = 0; i < count; i++) {
        uint64 at = static_cast<uint64>(indexOffset) + kIndexHeaderSize + kIndexEntrySize * i;
        view.Word(at, &entries[i].offset);
        view.Word(at + 4, &entries[i].size);
        totalData += entries[i].size;
        if (!view.Has(entries[i].offset, entries[i].size) || totalData > size)
            return B_BAD_DATA;
    }

    uint32 tableOffset = indexWords[kInfoOffsetWord];
    uint32 tableSize = indexWords[kInfoSizeWord];
    if (!view.Has(tableOffset, tableSize) || tableSize < 16)
        return B_BAD_DATA;
    uint64 tableEnd = static_cast<uint64>(tableOffset) + tableSize - 8;
    uint32 storedChecksum = 0;
    view.Word(tableEnd, &storedChecksum);
    if (Checksum(view.At(tableOffset), tableEnd - tableOffset) != storedChecksum)
        return B_BAD_DATA;

    auto separatorAt = [&](uint64 at) {
        uint32 first = 0, second = 0;
        return view.Word(at, &first) && view.Word(at + 4, &second) && at + 8 <= tableEnd &&
               first == kSeparator && second == kSeparator;
    };

    struct Placed {
        uint32 index;
        ResourceItem item;
    };
    std::vector<Placed> placed;
    std::vector<bool> used(count, false);
    uint64 at = tableOffset;
    while (at < tableEnd) {
        if (separatorAt(at)) {
            at += 8;
            continue;
        }
        uint32 type = 0;
        if (at + 4 > tableEnd || !view.Word(at, &type))
            return B_BAD_DATA;
        at += 4;
        while (!separatorAt(at)) {
            uint32 id = 0, index = 0;
            uint16 nameSize = 0;
            if (at + 10 > tableEnd || !view.Word(at, &id) || !view.Word(at + 4, &index) ||
                !view.Half(at + 8, &nameSize))
                return B_BAD_DATA;
            at += 10;
            if (at + nameSize > tableEnd || index < 1 || index > count || used[index - 1])
                return B_BAD_DATA;
            used[index - 1] = true;
            const Entry& entry = entries[index - 1];
            ResourceItem item;
            item.type = type;
            item.id = static_cast<int32>(id);
            const char* name = reinterpret_cast<const char*>(view.At(at));
            // The size counts the NUL, so a name is at most one byte shorter.
            item.name.assign(name, strnlen(name, nameSize > 0 ? nameSize - 1u : 0u));
            item.data.assign(view.At(entry.offset), view.At(entry.offset) + entry.size);
            placed.push_back({index, std::move(item)});
            at += nameSize;
        }
        at += 8;
    }

    std::sort(placed.begin(), placed.end(),
              [](const Placed& a, const Placed& b) { return a.index < b.index; });
    for (Placed& resource : placed)
        fItems.push_back(std::move(resource.item));
    return B_OK;
}

std::vector<uint8> ResourceContainer::Flatten() const
{
    const uint32 count = static_cast<uint32>(fItems.size());
    const uint32 indexSize = (kIndexHeaderSize + kIndexEntrySize * count + kIndexAlignment - 1) /
                             kIndexAlignment * kIndexAlignment;
    const uint32 adminSize = kHeaderSize + indexSize;
    const uint32 dataOffset = adminSize + kUnknownSectionSize;

    std::vector<uint8> out(dataOffset, 0);
    PutWord(out, 0, kMagic);
    PutWord(out, 4, count);
    PutWord(out, 8, kHeaderSize);
    PutWord(out, 12, adminSize);

    FillPattern(out, kHeaderSize, indexSize / 4);
    FillPattern(out, adminSize, kUnknownSectionSize / 4);
    PutWord(out, kHeaderSize + 4 * kIndexOffsetWord, kHeaderSize);
    PutWord(out, kHeaderSize + 4 * kIndexSizeWord, indexSize);
    PutWord(out, kHeaderSize + 4 * kUnknownOffsetWord, adminSize);
    PutWord(out, kHeaderSize + 4 * kUnknownSizeWord, kUnknownSectionSize);

    uint32 offset = dataOffset;
    for (uint32 i = 0; i < count; i++) {
        const ResourceItem& item = fItems[i];
        uint32 at = kHeaderSize + kIndexHeaderSize + kIndexEntrySize * i;
        uint32 size = static_cast<uint32>(item.data.size());
        PutWord(out, at, offset);
        PutWord(out, at + 4, size);
        PutWord(out, at + 8, 0);
        out.insert(out.end(), item.data.begin(), item.data.end());
        offset += size;
    }

    const size_t tableOffset = out.size();
    std::vector<type_code> types;
    for (const ResourceItem& item : fItems) {
        if (std::find(types.begin(), types.end(), item.type) == types.end())
            types.push_back(item.type);
    }
    for (type_code type : types) {
        AppendWord(out, type);
        for (uint32 i = 0; i < count; i++) {
            const ResourceItem& item = fItems[i];
            if (item.type != type)
                continue;
            AppendWord(out, static_cast<uint32>(item.id));
            AppendWord(out, i + 1);
            uint16 nameSize = item.name.empty() ? 0 : static_cast<uint16>(item.name.size() + 1);
            out.push_back(static_cast<uint8>(nameSize));
            out.push_back(static_cast<uint8>(nameSize >> 8));
            out.insert(out.end(), item.name.begin(), item.name.end());
            if (nameSize != 0)
                out.push_back(0);
        }
        AppendWord(out, kSeparator);
        AppendWord(out, kSeparator);
    }
    if (types.empty()) {
        AppendWord(out, kSeparator);
        AppendWord(out, kSeparator);
    }
    AppendWord(out, Checksum(out.data() + tableOffset, out.size() - tableOffset));
    AppendWord(out, 0);

    PutWord(out, kHeaderSize + 4 * kInfoOffsetWord, static_cast<uint32>(tableOffset));
    PutWord(out, kHeaderSize + 4 * kInfoSizeWord, static_cast<uint32>(out.size() - tableOffset));
    return out;
}

status_t ResourceContainer::WriteTo(BPositionIO& file) const
{
    for (const ResourceItem& item : fItems) {
        if (item.name.size() >= 0xffff || item.name.find('\0') != std::string::npos)
            return B_BAD_VALUE;
    }
    off_t start = 0, elfEnd = 0, size = 0;
    status_t status = FindContainerOffset(file, &start, &elfEnd);
    if (status == B_OK)
        status = file.GetSize(&size);
    if (status != B_OK)
        return status;

    if (fItems.empty())
        return size > elfEnd ? file.SetSize(elfEnd) : B_OK;

    std::vector<uint8> bytes = Flatten();
    if (static_cast<off_t>(bytes.size()) > kMaxContainerSize)
        return B_BAD_VALUE;
    status = file.SetSize(start);
    if (status != B_OK)
        return status;
    ssize_t written = file.WriteAt(start, bytes.data(), bytes.size());
    if (written < 0)
        return static_cast<status_t>(written);
    return written == static_cast<ssize_t>(bytes.size()) ? B_OK : B_IO_ERROR;
}

const ResourceItem* ResourceContainer::Find(type_code type, int32 id) const
{
    for (const ResourceItem& item : fItems) {
        if (item.type == type && item.id == id)
            return &item;
    }
    return NULL;
}

const ResourceItem* ResourceContainer::Find(type_code type, const char* name) const
{
    if (name == NULL)
        return NULL;
    for (const ResourceItem& item : fItems) {
        if (item.type == type && item.name == name)
            return &item;
    }
    return NULL;
}

} // namespace BPrivate
