// Any file content must convert without a crash into a download stream of the keypad's
// layout: the header, 24 key records in key order, each level a count of 0 or n + 1 with n
// code bytes in range and a closing 0x00, and the end byte; or be refused with nothing changed.
#include "DefinitionReader.h"
#include "Files.h"
#include "FuzzCheck.h"
#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace loader;

namespace {

// One level at Pos: its count, its codes and the closing 0x00; Pos is left after it.
size_t CheckLevel(const std::vector<Byte>& S, size_t& Pos, int Capacity)
{
    Check(Pos < S.size());
    const size_t count = S[Pos++];
    Check(count == 0 || (count >= 2 && count <= size_t(Capacity)));
    Check(Pos + count <= S.size());
    for (size_t i = 0; i + 1 < count; ++i) Check(S[Pos + i] != 0x00 && S[Pos + i] <= HighestCodeByte);
    if (count > 0) Check(S[Pos + count - 1] == 0x00);
    Pos += count;
    return count;
}

void CheckSpecialKeys(const std::vector<Byte>& S, int First)
{
    const Byte a = S[First], b = S[First + 1];
    Check(a == NoSpecialKey || a < KeyCount);
    Check(b == NoSpecialKey || (a != NoSpecialKey && b < KeyCount && a < b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TMemoryFileSystem fs;
    SetFileSystem(&fs);
    const std::vector<Byte> before = DownloadStream();
    fs.Data.assign(reinterpret_cast<const char*>(data), size);
    if (ReadKeypadFile("/fuzz.ckd") != 0) {
        Check(DownloadStream() == before);
        return 0;
    }
    const std::vector<Byte> s = DownloadStream();
    Check(s.size() > DownloadHeaderSize);
    for (int i = 0; i < DownloadHeaderSize; ++i)
        if (i < HeaderToggleKeys || i == 10) Check(s[i] == DownloadHeaderTemplate[i]);
    CheckSpecialKeys(s, HeaderToggleKeys);
    CheckSpecialKeys(s, HeaderShiftKeys);
    Check(s[HeaderKeyRollOver] <= 2);
    size_t pos = DownloadHeaderSize;
    for (int k = 0; k < KeyCount; ++k) {
        Check(pos + 6 <= s.size());
        Check(s[pos] == CommandIntroducer && s[pos + 1] == kcKeyRecord && s[pos + 2] == k && s[pos + 5] == k);
        const Byte flags2 = s[pos + 3], flags1 = s[pos + 4];
        Check((flags1 & 0xF0) == 0 && (flags2 & 0xF0) == 0);
        pos += 6;
        const size_t count1 = CheckLevel(s, pos, Level1AreaSize);
        const size_t count2 = CheckLevel(s, pos, Level2AreaSize);
        Check(count1 == 0 || (flags1 & lfHasCodes));
        Check(count2 == 0 || (flags2 & lfHasCodes));
        // The whole first area is for a key whose second level is empty.
        Check(count1 <= size_t(Level2AreaSize) || !(flags2 & lfHasCodes));
    }
    Check(pos + 1 == s.size() && s[pos] == DownloadEnd);
    Check(ProgressTotal >= 250);
    return 0;
}
