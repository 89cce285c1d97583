// The keypad's command bytes and the download stream. The protocol runs one way: the keypad
// never answers, so a transport unit that cannot be delivered is the only failure the host
// can see. Every byte travels in a transport unit of its own.
#pragma once
#include <array>
#include <cstdint>

using Byte = uint8_t;
// What a sender (or the loader's binding of the HID libraries) returns: true when it failed.
using TFailed = bool;

namespace loader {

constexpr Byte CommandIntroducer = 0xE4;
enum TKeypadCommand : Byte {
    kcGlobalRecord = 0x01,
    kcKeyRecord = 0x02,
    kcGetVersion = 0x03,
    kcLEDOff = 0x04,
    kcLEDOn = 0x05,
    kcFlashLED = 0x06,
};
// One byte to a USB keypad: report id 0x00 (hidapi's "no numbered reports"), 0x01, the byte
// carried, three zeros.
using TKeypadFeatureReport = std::array<Byte, 6>;
constexpr TKeypadFeatureReport KeypadFeatureReport(Byte Carried)
{
    return {0x00, 0x01, Carried, 0x00, 0x00, 0x00};
}

// Sent alone, without the introducer, as the last byte of a download.
constexpr Byte DownloadEnd = 0xE5;

// Inside a code run: 0xF0 (break) travels as 0xE3, 0xE2 opens a pause or LED command, and
// no code byte is above 0xE4; 0x00 ends a run.
constexpr Byte StreamBreakCode = 0xE3;
constexpr Byte StreamCommandCode = 0xE2;
constexpr Byte HighestCodeByte = 0xE4;

// Level flags; the upper four bits are always 0.
constexpr Byte lfHasCodes = 0x01;
constexpr Byte lfAutoRepeat = 0x02;
constexpr Byte lfLiteral = 0x04;
constexpr Byte lfSeparateUpCodes = 0x08;

constexpr int KeyCount = 24;
constexpr int Level1AreaSize = 224;
constexpr int Level2AreaSize = 112;
constexpr Byte NoSpecialKey = 0x80;

// Byte positions in the 13-byte header.
constexpr int DownloadHeaderSize = 13;
constexpr int HeaderToggleKeys = 5; // and 6
constexpr int HeaderShiftKeys = 7;  // and 8
constexpr int HeaderKeyRollOver = 9;
constexpr int HeaderCharacterPacing = 11;
constexpr int HeaderLEDFunction = 12;

using TDownloadHeader = std::array<Byte, DownloadHeaderSize>;
// The header before a file is read; bytes 9, 11 and 12 always come from the file.
constexpr TDownloadHeader DownloadHeaderTemplate = {CommandIntroducer, kcGlobalRecord, 0x0A, 0xE0, 0x70,
                                                    NoSpecialKey, NoSpecialKey, NoSpecialKey, NoSpecialKey,
                                                    0x00, 0x00, 0x00, 0x00};

// One key's record as kept in memory. Codes stand from the start of an area, followed by
// 0x00; sending a level is its count c and, when c > 0, the first c bytes of its area.
// A count is 0 (level sent empty) or n + 1 for n codes, never 1.
struct TDownloadKeyRecord {
    Byte CommandIntroducer;
    Byte kcKeyRecord;
    Byte KeyIndex;
    Byte Level2Flags;
    Byte Level1Flags;
    Byte KeyIndex2; // the key index again
    Byte Level1Count;
    Byte Level1Codes[Level1AreaSize];
    Byte Level2Count;
    Byte Level2Codes[Level2AreaSize];
};

} // namespace loader
