#include "Version.h"

#include "SysUtils.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace {

// The block: "QVER", its whole size as 32-bit little-endian, then name and value pairs,
// each a zero-terminated text.
constexpr char BlockMagic[4] = {'Q', 'V', 'E', 'R'};
constexpr uint32_t HeaderSize = 8;
constexpr uint32_t MaxBlockSize = 64 * 1024;
constexpr uint64_t MaxNameTableSize = 1024 * 1024;
constexpr const char* SectionName = ".quill_version";

uint32_t LoadSize(const unsigned char* P)
{
    return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}

void StoreSize(unsigned char* P, uint32_t V)
{
    for (int i = 0; i < 4; ++i) P[i] = static_cast<unsigned char>(V >> (8 * i));
}

bool ReadAt(std::ifstream& F, uint64_t Offset, void* Buf, uint64_t Count)
{
    F.clear();
    F.seekg(static_cast<std::streamoff>(Offset));
    if (!F) return false;
    F.read(static_cast<char*>(Buf), static_cast<std::streamsize>(Count));
    return F.gcount() == static_cast<std::streamsize>(Count);
}

template <class Ehdr, class Shdr>
bool FindBlock(std::ifstream& F, std::vector<unsigned char>& Block)
{
    Ehdr eh{};
    if (!ReadAt(F, 0, &eh, sizeof eh)) return false;
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum) return false;
    std::vector<Shdr> sections(eh.e_shnum);
    if (!ReadAt(F, eh.e_shoff, sections.data(), sizeof(Shdr) * sections.size())) return false;
    const Shdr& names = sections[eh.e_shstrndx];
    if (names.sh_type == SHT_NOBITS || names.sh_size == 0 || names.sh_size > MaxNameTableSize) return false;
    std::vector<char> table(names.sh_size);
    if (!ReadAt(F, names.sh_offset, table.data(), table.size())) return false;
    const size_t wanted = std::strlen(SectionName) + 1;
    for (const Shdr& s : sections) {
        if (s.sh_name >= table.size() || table.size() - s.sh_name < wanted) continue;
        if (std::memcmp(&table[s.sh_name], SectionName, wanted) != 0) continue;
        if (s.sh_type == SHT_NOBITS || s.sh_size < HeaderSize || s.sh_size > MaxBlockSize) return false;
        Block.resize(s.sh_size);
        if (!ReadAt(F, s.sh_offset, Block.data(), Block.size())) return false;
        if (std::memcmp(Block.data(), BlockMagic, sizeof BlockMagic) != 0) return false;
        const uint32_t size = LoadSize(Block.data() + 4);
        if (size < HeaderSize || size > Block.size()) return false;
        Block.resize(size);
        return true;
    }
    return false;
}

bool ReadBlock(const std::string& FileName, std::vector<unsigned char>& Block)
{
    std::ifstream f(FileName, std::ios::binary);
    if (!f) return false;
    unsigned char ident[EI_NIDENT] = {};
    if (!ReadAt(f, 0, ident, sizeof ident)) return false;
    if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return false;
    // Only files of this machine's byte order: the block is for the program beside us.
    const unsigned char native = (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != native) return false;
    if (ident[EI_CLASS] == ELFCLASS64) return FindBlock<Elf64_Ehdr, Elf64_Shdr>(f, Block);
    if (ident[EI_CLASS] == ELFCLASS32) return FindBlock<Elf32_Ehdr, Elf32_Shdr>(f, Block);
    return false;
}

} // namespace

uint32_t GetFileVersionInfoSizeA(const std::string& FileName, uint32_t* Handle)
{
    if (Handle) *Handle = 0;
    std::vector<unsigned char> block;
    return ReadBlock(FileName, block) ? static_cast<uint32_t>(block.size()) : 0;
}

bool GetFileVersionInfoA(const std::string& FileName, uint32_t /*Handle*/, uint32_t Len, void* Data)
{
    if (!Data || Len < HeaderSize) return false;
    std::vector<unsigned char> block;
    if (!ReadBlock(FileName, block)) return false;
    if (block.size() > Len) {
        block.resize(Len);
        StoreSize(block.data() + 4, Len);
    }
    std::memcpy(Data, block.data(), block.size());
    return true;
}

bool VerQueryValueA(const void* Block, const std::string& SubBlock, const void** Buffer, uint32_t* Len)
{
    if (!Block) return false;
    const auto* p = static_cast<const unsigned char*>(Block);
    if (std::memcmp(p, BlockMagic, sizeof BlockMagic) != 0) return false;
    const uint32_t size = LoadSize(p + 4);
    const char* text = reinterpret_cast<const char*>(p);
    uint32_t off = HeaderSize;
    while (off < size) {
        const void* nameEnd = std::memchr(text + off, '\0', size - off);
        if (!nameEnd) return false;
        const uint32_t valueOff = static_cast<uint32_t>(static_cast<const char*>(nameEnd) - text) + 1;
        if (valueOff >= size) return false;
        const void* valueEnd = std::memchr(text + valueOff, '\0', size - valueOff);
        if (!valueEnd) return false;
        const uint32_t next = static_cast<uint32_t>(static_cast<const char*>(valueEnd) - text) + 1;
        if (SameText(std::string(text + off), SubBlock)) {
            if (Buffer) *Buffer = text + valueOff;
            if (Len) *Len = next - valueOff;
            return true;
        }
        off = next;
    }
    return false;
}
