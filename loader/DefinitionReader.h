// Reads a ".ckd" definition file into the download header, the 24 key records, the pause
// between bytes and the progress estimate. Only the keys a download needs are read, with
// the loader's own defaults; code strings are converted by hex-pair arithmetic, and what
// does not fit is dropped without a message. Module state: one download per process.
#pragma once
#include "KeypadProtocol.h"

#include <string>
#include <vector>

namespace loader {

extern TDownloadHeader DownloadHeader;
extern TDownloadKeyRecord KeyRecords[KeyCount];
// Milliseconds to wait after each byte the keypad took; the whole value read.
extern int32_t DownloadDelay;
// Bytes the download is expected to take, for the progress bar: 250 plus every code stored.
extern int32_t ProgressTotal;

// 0 when the file was read and the state above filled; 1, with nothing changed, when no
// definition file is at Path at the moment of its one read: nothing there, something that
// cannot be read whole (no regular file, unreadable, over 16 MiB, more than memory holds), or
// a file without a single section. A path that is not a full path names a file in the
// Windows folder.
int32_t ReadKeypadFile(const std::string& Path);

// True when the whole code string is one of the modifier sequences; the level (1 or 2) of
// Record then holds its bytes with lfSeparateUpCodes set, and ProgressTotal grew by its count.
// False with nothing changed otherwise.
bool MatchModifierSequence(int Level, TDownloadKeyRecord& Record, const std::string& Codes);
// Hex pairs into the level's area and count. Capacity is 224 bytes for level 1 while level 2
// is empty, else 112; a level that is over capacity or meets an invalid pair is sent empty
// (count 0), though the bytes stored before stay in the area.
void ParseLevel1Codes(TDownloadKeyRecord& Record, const std::string& Codes, bool Level2Empty);
void ParseLevel2Codes(TDownloadKeyRecord& Record, const std::string& Codes);
// One stream code byte from two characters; 0x00 means invalid. Only 0-9 and a-f are digits;
// any other character gives some value without an error.
Byte HexPairToCode(char Hi, char Lo);

// The whole stream in sending order: header, the 24 records, DownloadEnd.
std::vector<Byte> DownloadStream();

} // namespace loader
