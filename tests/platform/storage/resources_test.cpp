#include <File.h>
#include <Resources.h>

#include "storage/ResourceContainer.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using BPrivate::ResourceContainer;
using BPrivate::ResourceItem;

namespace
{

using Bytes = std::vector<uint8>;

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/resources_test.XXXXXX";
        fPath = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(fPath); }
    std::string operator/(const char* name) const { return fPath + "/" + name; }

private:
    std::string fPath;
};

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

uint32 LittleWord(const Bytes& bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32(bytes[at + 3]) << 24;
}

void PutLittleWord(Bytes& bytes, size_t at, uint32 value)
{
    for (int i = 0; i < 4; i++)
        bytes[at + i] = uint8(value >> (8 * i));
}

// The info table's checksum: big-endian words, a short tail as a right-aligned number.
uint32 TableSum(const uint8* data, size_t size)
{
    uint32 sum = 0;
    for (size_t at = 0; at < size; at += 4) {
        uint32 word = 0;
        for (size_t i = at; i < std::min(size, at + 4); i++)
            word = word << 8 | data[i];
        sum += word;
    }
    return sum;
}

ResourceItem Item(type_code type, int32 id, const std::string& name, const Bytes& data)
{
    ResourceItem item;
    item.type = type;
    item.id = id;
    item.name = name;
    item.data = data;
    return item;
}

ResourceContainer SampleContainer()
{
    ResourceContainer container;
    container.Add(Item('MIMS', 1, "BEOS:APP_SIG", Bytes{'a', '/', 'b', 0}));
    container.Add(Item('APPF', 1, "BEOS:APP_FLAGS", Bytes{1, 0, 0, 0}));
    container.Add(Item('MIMS', 2, "BEOS:TYPE", Bytes{'x', 0}));
    container.Add(Item('RAWT', -7, "", Bytes{9, 8, 7}));
    container.Add(Item('RAWT', 3, "empty", Bytes{}));
    Bytes large(5000);
    for (size_t i = 0; i < large.size(); i++)
        large[i] = uint8(i * 31);
    container.Add(Item('ICON', 101, "BEOS:L:STD_ICON", large));
    return container;
}

void ExpectSameItems(const ResourceContainer& expected, const ResourceContainer& actual)
{
    ASSERT_EQ(expected.Items().size(), actual.Items().size());
    for (size_t i = 0; i < expected.Items().size(); i++) {
        const ResourceItem& a = expected.Items()[i];
        const ResourceItem& b = actual.Items()[i];
        EXPECT_EQ(a.type, b.type) << i;
        EXPECT_EQ(a.id, b.id) << i;
        EXPECT_EQ(a.name, b.name) << i;
        EXPECT_EQ(a.data, b.data) << i;
    }
}

// The end of the ELF data, worked out from the headers with the system's own definitions.
uint64 Elf64End(const Bytes& file)
{
    Elf64_Ehdr header;
    memcpy(&header, file.data(), sizeof(header));
    uint64 end = std::max<uint64>(header.e_ehsize,
                                  header.e_phoff + uint64(header.e_phnum) * header.e_phentsize);
    end = std::max<uint64>(end, header.e_shoff + uint64(header.e_shnum) * header.e_shentsize);
    for (int i = 0; i < header.e_phnum; i++) {
        Elf64_Phdr program;
        memcpy(&program, file.data() + header.e_phoff + i * header.e_phentsize, sizeof(program));
        end = std::max<uint64>(end, program.p_offset + program.p_filesz);
    }
    for (int i = 0; i < header.e_shnum; i++) {
        Elf64_Shdr section;
        memcpy(&section, file.data() + header.e_shoff + i * header.e_shentsize, sizeof(section));
        if (section.sh_type != SHT_NOBITS)
            end = std::max<uint64>(end, section.sh_offset + section.sh_size);
    }
    return end;
}

// A small ELF file: header, one program header, some data of the given length.
template <typename Header, typename Program>
Bytes MakeElf(uint8 elfClass, uint32 segmentAlignment, uint32 dataLength)
{
    Bytes file(sizeof(Header) + sizeof(Program) + dataLength, 0x5a);
    Header header = {};
    memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = elfClass;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof(Header);
    header.e_ehsize = sizeof(Header);
    header.e_phentsize = sizeof(Program);
    header.e_phnum = 1;
    Program program = {};
    program.p_type = PT_LOAD;
    program.p_offset = sizeof(Header) + sizeof(Program);
    program.p_filesz = dataLength;
    program.p_align = segmentAlignment;
    memcpy(file.data(), &header, sizeof(header));
    memcpy(file.data() + sizeof(header), &program, sizeof(program));
    return file;
}

Bytes MakeElf32(uint32 segmentAlignment, uint32 dataLength)
{
    return MakeElf<Elf32_Ehdr, Elf32_Phdr>(ELFCLASS32, segmentAlignment, dataLength);
}

status_t ReadContainer(const Bytes& file, ResourceContainer* container)
{
    BMemoryIO io(file.data(), file.size());
    return container->ReadFrom(io);
}

class ElfFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fOriginal = ReadBytes("/bin/true");
        ASSERT_GT(fOriginal.size(), 1000u);
        fPath = fFolder / "program";
        WriteBytes(fPath, fOriginal);
        ASSERT_EQ(chmod(fPath.c_str(), 0755), 0);
    }

    status_t Attach(const ResourceContainer& container)
    {
        BFile file(fPath.c_str(), B_READ_WRITE);
        if (file.InitCheck() != B_OK)
            return file.InitCheck();
        return container.WriteTo(file);
    }

    TempFolder fFolder;
    std::string fPath;
    Bytes fOriginal;
};

} // namespace

TEST_F(ElfFile, WrittenResourcesReadBackAndTheProgramStillRuns)
{
    ResourceContainer written = SampleContainer();
    ASSERT_EQ(Attach(written), B_OK);

    Bytes file = ReadBytes(fPath);
    ASSERT_GT(file.size(), fOriginal.size());
    EXPECT_TRUE(std::equal(fOriginal.begin(), fOriginal.end(), file.begin()))
        << "the ELF data changed";

    uint64 start = (Elf64End(fOriginal) + 7) / 8 * 8;
    ASSERT_LT(start + 4, file.size());
    EXPECT_EQ(LittleWord(file, start), 0x444f1000u);
    for (uint64 i = fOriginal.size(); i < start; i++)
        EXPECT_EQ(file[i], 0) << "padding at " << i;

    ResourceContainer read;
    ASSERT_EQ(ReadContainer(file, &read), B_OK);
    ExpectSameItems(written, read);

    EXPECT_EQ(system((fPath + " --version >/dev/null").c_str()), 0);
}

TEST_F(ElfFile, ReattachingReplacesAndAnEmptySetRemoves)
{
    ASSERT_EQ(Attach(SampleContainer()), B_OK);
    size_t withSample = ReadBytes(fPath).size();

    ResourceContainer small;
    small.Add(Item('APPF', 1, "BEOS:APP_FLAGS", Bytes{0, 0, 0, 0}));
    ASSERT_EQ(Attach(small), B_OK);
    ASSERT_EQ(Attach(small), B_OK);
    Bytes file = ReadBytes(fPath);
    EXPECT_LT(file.size(), withSample);
    EXPECT_TRUE(std::equal(fOriginal.begin(), fOriginal.end(), file.begin()));
    ResourceContainer read;
    ASSERT_EQ(ReadContainer(file, &read), B_OK);
    ExpectSameItems(small, read);

    ASSERT_EQ(Attach(ResourceContainer()), B_OK);
    EXPECT_EQ(ReadBytes(fPath), fOriginal);
    EXPECT_EQ(ReadContainer(fOriginal, &read), B_ENTRY_NOT_FOUND);
    EXPECT_TRUE(read.Items().empty());
}

TEST_F(ElfFile, ContainerLayout)
{
    ASSERT_EQ(Attach(SampleContainer()), B_OK);
    Bytes file = ReadBytes(fPath);
    uint64 start = (Elf64End(fOriginal) + 7) / 8 * 8;
    Bytes c(file.begin() + start, file.end());
    const uint32 count = 6;

    EXPECT_EQ(LittleWord(c, 4), count);
    EXPECT_EQ(LittleWord(c, 8), 0x44u);
    for (int word = 4; word < 17; word++)
        EXPECT_EQ(LittleWord(c, 4 * word), 0u) << word;

    uint32 indexSize = LittleWord(c, 0x44 + 4);
    EXPECT_EQ(LittleWord(c, 0x44), 0x44u);
    EXPECT_EQ(indexSize % 0x600, 0u);
    EXPECT_GE(indexSize, 132 + 12 * count);
    EXPECT_EQ(LittleWord(c, 12), 0x44 + indexSize);
    uint32 unknownOffset = LittleWord(c, 0x44 + 12);
    EXPECT_EQ(unknownOffset, 0x44 + indexSize);
    EXPECT_EQ(LittleWord(c, 0x44 + 16), 0x168u);

    // Unused words carry the pattern by their word index from the container's start.
    const uint32 pattern[3] = {0xffffffff, 0x3e9, 0};
    for (uint32 word = (0x44 + 20) / 4; word < (0x44 + 120) / 4; word++)
        EXPECT_EQ(LittleWord(c, 4 * word), pattern[word % 3]) << word;
    for (uint32 at = 0x44 + 132 + 12 * count; at < unknownOffset + 0x168; at += 4)
        EXPECT_EQ(LittleWord(c, at), pattern[(at / 4) % 3]) << at;

    // Data follows the unknown section, in index order, back to back.
    uint32 expectedOffset = unknownOffset + 0x168;
    for (uint32 i = 0; i < count; i++) {
        uint32 at = 0x44 + 132 + 12 * i;
        EXPECT_EQ(LittleWord(c, at), expectedOffset) << i;
        EXPECT_EQ(LittleWord(c, at + 8), 0u) << i;
        expectedOffset += LittleWord(c, at + 4);
    }

    uint32 tableOffset = LittleWord(c, 0x44 + 120);
    uint32 tableSize = LittleWord(c, 0x44 + 124);
    EXPECT_EQ(tableOffset, expectedOffset);
    ASSERT_EQ(tableOffset + tableSize, c.size());
    EXPECT_EQ(LittleWord(c, c.size() - 8), TableSum(&c[tableOffset], tableSize - 8));
    EXPECT_EQ(LittleWord(c, c.size() - 4), 0u);
    EXPECT_EQ(LittleWord(c, c.size() - 12), 0xffffffffu);
    EXPECT_EQ(LittleWord(c, c.size() - 16), 0xffffffffu);

    // The first block: 'MIMS', id 1, index 1, "BEOS:APP_SIG" with its NUL.
    EXPECT_EQ(LittleWord(c, tableOffset), uint32('MIMS'));
    EXPECT_EQ(LittleWord(c, tableOffset + 4), 1u);
    EXPECT_EQ(LittleWord(c, tableOffset + 8), 1u);
    EXPECT_EQ(c[tableOffset + 12] | c[tableOffset + 13] << 8, 13);
    EXPECT_EQ(memcmp(&c[tableOffset + 14], "BEOS:APP_SIG", 13), 0);
}

TEST(ResourceContainer, StartAlignment)
{
    // ELF64 aligns to 8 whatever the segments say.
    for (uint32 length : {0u, 1u, 8u, 13u}) {
        Bytes elf = MakeElf<Elf64_Ehdr, Elf64_Phdr>(ELFCLASS64, 0x1000, length);
        BMemoryIO io(elf.data(), elf.size());
        off_t start = 0, end = 0;
        ASSERT_EQ(ResourceContainer::FindContainerOffset(io, &start, &end), B_OK);
        EXPECT_EQ(end, off_t(elf.size()));
        EXPECT_EQ(start, off_t((elf.size() + 7) / 8 * 8)) << length;
    }

    // ELF32 aligns to the largest segment alignment, at least 32.
    for (uint32 alignment : {0u, 4u, 0x1000u}) {
        Bytes elf = MakeElf32(alignment, 37);
        BMallocIO io;
        io.WriteAt(0, elf.data(), elf.size());
        off_t start = 0, end = 0;
        ASSERT_EQ(ResourceContainer::FindContainerOffset(io, &start, &end), B_OK);
        EXPECT_EQ(end, off_t(elf.size()));
        uint32 expectedAlignment = std::max(alignment, 32u);
        EXPECT_EQ(start, off_t((elf.size() + expectedAlignment - 1) / expectedAlignment *
                               expectedAlignment))
            << alignment;

        ResourceContainer written = SampleContainer();
        ASSERT_EQ(written.WriteTo(io), B_OK);
        ResourceContainer read;
        ASSERT_EQ(read.ReadFrom(io), B_OK);
        ExpectSameItems(written, read);
        Bytes after(static_cast<const uint8*>(io.Buffer()),
                    static_cast<const uint8*>(io.Buffer()) + elf.size());
        EXPECT_EQ(after, elf);
    }
}

TEST(ResourceContainer, NonElfAndBrokenElfHeaders)
{
    ResourceContainer container = SampleContainer();
    Bytes text = {'h', 'e', 'l', 'l', 'o', '\n'};
    BMallocIO io;
    io.WriteAt(0, text.data(), text.size());
    EXPECT_EQ(container.WriteTo(io), B_BAD_TYPE);
    EXPECT_EQ(io.BufferLength(), text.size());
    EXPECT_EQ(container.ReadFrom(io), B_BAD_TYPE);
    EXPECT_TRUE(container.Items().empty());

    Bytes empty;
    EXPECT_EQ(ReadContainer(empty, &container), B_BAD_TYPE);

    // Program headers, segments or sections past the end of the file.
    Bytes elf = MakeElf32(4, 16);
    Bytes broken = elf;
    PutLittleWord(broken, offsetof(Elf32_Ehdr, e_phoff), 0xfffffff0);
    EXPECT_EQ(ReadContainer(broken, &container), B_BAD_TYPE);
    broken = elf;
    PutLittleWord(broken, sizeof(Elf32_Ehdr) + offsetof(Elf32_Phdr, p_filesz), 0x7fffffff);
    EXPECT_EQ(ReadContainer(broken, &container), B_BAD_TYPE);
    broken = elf;
    PutLittleWord(broken, offsetof(Elf32_Ehdr, e_shoff), 60);
    broken[offsetof(Elf32_Ehdr, e_shnum)] = 200;
    broken[offsetof(Elf32_Ehdr, e_shentsize)] = sizeof(Elf32_Shdr);
    EXPECT_EQ(ReadContainer(broken, &container), B_BAD_TYPE);
    broken = elf;
    PutLittleWord(broken, sizeof(Elf32_Ehdr) + offsetof(Elf32_Phdr, p_align), 0x80000000);
    EXPECT_EQ(ReadContainer(broken, &container), B_BAD_TYPE);
    broken = Bytes(elf.begin(), elf.begin() + 40);
    EXPECT_EQ(ReadContainer(broken, &container), B_BAD_TYPE);
}

TEST(ResourceContainer, DamagedContainersGiveNoResources)
{
    Bytes good = SampleContainer().Flatten();
    ResourceContainer read;
    ASSERT_EQ(read.Unflatten(good.data(), good.size()), B_OK);
    ASSERT_EQ(read.Items().size(), 6u);

    auto expectDamaged = [&](const Bytes& bytes, const char* what) {
        ResourceContainer container = SampleContainer();
        EXPECT_EQ(container.Unflatten(bytes.data(), bytes.size()), B_BAD_DATA) << what;
        EXPECT_TRUE(container.Items().empty()) << what;
    };

    for (size_t length = 0; length < good.size(); length++)
        expectDamaged(Bytes(good.begin(), good.begin() + length), "truncated");

    Bytes bytes = good;
    bytes[0] ^= 1;
    expectDamaged(bytes, "bad magic");

    bytes = good;
    PutLittleWord(bytes, 4, 0xffffffff);
    expectDamaged(bytes, "absurd count");

    bytes = good;
    PutLittleWord(bytes, 8, 0xfffffff0);
    expectDamaged(bytes, "index section past the end");

    bytes = good;
    PutLittleWord(bytes, 0x44 + 4, 0x7ffffff0);
    expectDamaged(bytes, "index section size past the end");

    bytes = good;
    PutLittleWord(bytes, 0x44 + 132, 0xfffffff0);
    expectDamaged(bytes, "data offset past the end");

    bytes = good;
    PutLittleWord(bytes, 0x44 + 132 + 12 * 5 + 4, 0xffffff00);
    expectDamaged(bytes, "data size past the end");

    bytes = good;
    PutLittleWord(bytes, 0x44 + 120, uint32(good.size() - 4));
    expectDamaged(bytes, "info table past the end");

    uint32 tableOffset = LittleWord(good, 0x44 + 120);
    bytes = good;
    bytes[tableOffset + 8] = 42;
    expectDamaged(bytes, "info index out of range");

    // Consistent checksums, so that only the structure is wrong.
    auto fixChecksum = [&](Bytes& damaged) {
        PutLittleWord(damaged, damaged.size() - 8,
                      TableSum(&damaged[tableOffset], damaged.size() - 8 - tableOffset));
    };
    bytes = good;
    bytes[tableOffset + 8] = 42;
    fixChecksum(bytes);
    expectDamaged(bytes, "info index out of range, checksum fixed");

    bytes = good;
    bytes[tableOffset + 12] = 0xff;
    bytes[tableOffset + 13] = 0xff;
    fixChecksum(bytes);
    expectDamaged(bytes, "name size past the table");

    bytes = good;
    // The second entry of the first block points at the first resource again.
    uint32 second = tableOffset + 4 + 10 + 13;
    bytes[second + 4] = 1;
    fixChecksum(bytes);
    expectDamaged(bytes, "two entries for one resource");

    bytes = good;
    PutLittleWord(bytes, bytes.size() - 8, LittleWord(bytes, bytes.size() - 8) + 1);
    expectDamaged(bytes, "bad checksum");

    // Random damage never crashes and never reports data outside the container.
    std::mt19937 random(1234);
    for (int round = 0; round < 300; round++) {
        bytes = good;
        for (int flips = 0; flips < 4; flips++)
            bytes[random() % bytes.size()] = uint8(random());
        ResourceContainer container;
        if (container.Unflatten(bytes.data(), bytes.size()) == B_OK) {
            size_t total = 0;
            for (const ResourceItem& item : container.Items())
                total += item.data.size();
            EXPECT_LE(total, bytes.size());
        }
    }
}

TEST(ResourceContainer, BigEndianContainersAreRead)
{
    ResourceContainer written;
    written.Add(Item('MIMS', 1, "BEOS:APP_SIG", Bytes{'a', 0}));
    written.Add(Item('APPF', 1, "", Bytes{0, 0, 0, 1}));
    Bytes little = written.Flatten();

    // Every word swapped, the name sizes too; names and data stay as they are.
    Bytes big = little;
    auto swapWord = [&](size_t at) {
        std::swap(big[at], big[at + 3]);
        std::swap(big[at + 1], big[at + 2]);
    };
    uint32 tableOffset = LittleWord(little, 0x44 + 120);
    for (size_t at = 0; at < LittleWord(little, 0x44 + 132); at += 4)
        swapWord(at);
    size_t at = tableOffset;
    swapWord(at); // 'MIMS'
    swapWord(at + 4);
    swapWord(at + 8);
    std::swap(big[at + 12], big[at + 13]);
    at += 14 + 13;
    for (int i = 0; i < 3; i++, at += 4)
        swapWord(at); // separator, 'APPF'
    swapWord(at);
    swapWord(at + 4);
    std::swap(big[at + 8], big[at + 9]);
    at += 10;
    for (int i = 0; i < 2; i++, at += 4)
        swapWord(at);
    ASSERT_EQ(at, big.size() - 8);
    uint32 sum = TableSum(&big[tableOffset], at - tableOffset);
    for (int i = 0; i < 4; i++)
        big[at + i] = uint8(sum >> (24 - 8 * i));

    ResourceContainer read;
    ASSERT_EQ(read.Unflatten(big.data(), big.size()), B_OK);
    ExpectSameItems(written, read);
}

TEST_F(ElfFile, BResourcesReadsTheFile)
{
    ASSERT_EQ(Attach(SampleContainer()), B_OK);
    BFile file(fPath.c_str(), B_READ_ONLY);
    ASSERT_EQ(file.InitCheck(), B_OK);
    BResources resources(&file);
    ASSERT_EQ(resources.InitCheck(), B_OK);

    size_t size = 0;
    const void* data = resources.LoadResource('APPF', 1, &size);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(size, 4u);
    int32 flags = 0;
    memcpy(&flags, data, sizeof(flags));
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(resources.LoadResource('APPF', 2, &size), nullptr);
    EXPECT_EQ(resources.LoadResource('MIMS', 1, &size), resources.LoadResource('MIMS', 1, NULL));

    data = resources.LoadResource('MIMS', "BEOS:TYPE", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 2u);
    EXPECT_STREQ(static_cast<const char*>(data), "x");
    EXPECT_EQ(resources.LoadResource('MIMS', "BEOS:NONE", &size), nullptr);
    EXPECT_EQ(resources.LoadResource('MIMS', (const char*)NULL, &size), nullptr);

    // An empty resource is found, with size 0.
    size = 99;
    EXPECT_NE(resources.LoadResource('RAWT', 3, &size), nullptr);
    EXPECT_EQ(size, 0u);

    EXPECT_TRUE(resources.HasResource('ICON', 101));
    EXPECT_FALSE(resources.HasResource('MICN', 101));
    EXPECT_TRUE(resources.HasResource('RAWT', "empty"));
    EXPECT_FALSE(resources.HasResource('ICON', "empty"));

    type_code type = 0;
    int32 id = 0;
    const char* name = NULL;
    ASSERT_TRUE(resources.GetResourceInfo(3, &type, &id, &name, &size));
    EXPECT_EQ(type, type_code('RAWT'));
    EXPECT_EQ(id, -7);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(size, 3u);
    EXPECT_FALSE(resources.GetResourceInfo(6, &type, &id, &name, &size));
    EXPECT_FALSE(resources.GetResourceInfo(-1, &type, &id, &name, &size));

    ASSERT_TRUE(resources.GetResourceInfo('MIMS', 1, &id, &name, &size));
    EXPECT_EQ(id, 2);
    EXPECT_STREQ(name, "BEOS:TYPE");
    EXPECT_FALSE(resources.GetResourceInfo('MIMS', 2, &id, &name, &size));
    ASSERT_TRUE(resources.GetResourceInfo('ICON', 101, &name, &size));
    EXPECT_STREQ(name, "BEOS:L:STD_ICON");
    EXPECT_EQ(size, 5000u);
    ASSERT_TRUE(resources.GetResourceInfo('APPF', "BEOS:APP_FLAGS", &id, &size));
    EXPECT_EQ(id, 1);
    const void* icon = resources.LoadResource('ICON', 101, NULL);
    ASSERT_TRUE(resources.GetResourceInfo(icon, &type, &id, &size, &name));
    EXPECT_EQ(type, type_code('ICON'));
    EXPECT_FALSE(resources.GetResourceInfo(&flags, &type, &id, &size, &name));

    uint8 buffer[8];
    memset(buffer, 0xee, sizeof(buffer));
    EXPECT_EQ(resources.ReadResource('ICON', 101, buffer, 4998, sizeof(buffer)), B_OK);
    EXPECT_EQ(buffer[0], uint8(4998 * 31));
    EXPECT_EQ(buffer[1], uint8(4999 * 31));
    EXPECT_EQ(buffer[2], 0xee);
    EXPECT_EQ(resources.ReadResource('ICON', 102, buffer, 0, 1), B_BAD_VALUE);
    EXPECT_EQ(resources.ReadResource('ICON', 101, buffer, -1, 1), B_BAD_VALUE);
    EXPECT_EQ(file.Position(), 0);

    BResources clobbered(&file, true);
    EXPECT_EQ(clobbered.InitCheck(), B_OK);
    EXPECT_FALSE(clobbered.HasResource('ICON', 101));
}

TEST_F(ElfFile, BResourcesWithoutUsableResources)
{
    BResources unset;
    EXPECT_EQ(unset.InitCheck(), B_NO_INIT);
    EXPECT_EQ(unset.LoadResource('APPF', 1, NULL), nullptr);
    EXPECT_FALSE(unset.HasResource('APPF', 1));
    EXPECT_EQ(unset.ReadResource('APPF', 1, NULL, 0, 0), B_NO_INIT);

    EXPECT_EQ(unset.SetTo(NULL), B_BAD_VALUE);
    BFile missing((fFolder / "missing").c_str(), B_READ_ONLY);
    EXPECT_NE(unset.SetTo(&missing), B_OK);
    EXPECT_FALSE(unset.HasResource('APPF', 1));

    // No container, a damaged one, a file that is no ELF: an object without resources.
    BFile plain(fPath.c_str(), B_READ_ONLY);
    BResources none(&plain);
    EXPECT_EQ(none.InitCheck(), B_OK);
    EXPECT_FALSE(none.GetResourceInfo(0, NULL, NULL, NULL, NULL));

    ASSERT_EQ(Attach(SampleContainer()), B_OK);
    Bytes damaged = ReadBytes(fPath);
    damaged.resize(damaged.size() - 3);
    WriteBytes(fPath, damaged);
    BFile cut(fPath.c_str(), B_READ_ONLY);
    BResources fromCut(&cut);
    EXPECT_EQ(fromCut.InitCheck(), B_OK);
    EXPECT_EQ(fromCut.LoadResource('APPF', 1, NULL), nullptr);

    WriteBytes(fPath, Bytes{'#', '!', '/', 'b', 'i', 'n'});
    BFile script(fPath.c_str(), B_READ_ONLY);
    BResources fromScript(&script);
    EXPECT_EQ(fromScript.InitCheck(), B_OK);
    EXPECT_FALSE(fromScript.HasResource('APPF', 1));
}
