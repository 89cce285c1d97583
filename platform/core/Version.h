// Version information of a program file, as the platform's version calls give it.
//
// The build embeds a version block in a program (VersionBlock.cmake) as the ELF section
// ".quill_version"; these calls read that section from the file at the path given, so they
// describe that file, not the program calling them. The block holds string values under
// names of the platform's form "\StringFileInfo\<language and code page>\<name>".
#pragma once
#include <cstdint>
#include <string>

// Bytes needed for the file's version block; 0 when the file is missing, unreadable, no
// ELF file of this machine, or has no (sound) block. Handle is set to 0 (it exists for the
// platform's call shape; GetFileVersionInfoA ignores it).
uint32_t GetFileVersionInfoSizeA(const std::string& FileName, uint32_t* Handle);

// Copies the file's version block into Data (Len bytes available). A Len smaller than the
// block gives its first Len bytes, still readable by VerQueryValueA within them. False when
// the file has no block or Len cannot hold even its header.
bool GetFileVersionInfoA(const std::string& FileName, uint32_t Handle, uint32_t Len, void* Data);

// Finds the value named SubBlock (names match ignoring case) in a block that
// GetFileVersionInfoA filled. True with Buffer pointing at the value's text inside Block and
// Len its length in characters, the terminator included; false, leaving both alone, when
// there is no such value. Never reads outside the block's recorded size.
bool VerQueryValueA(const void* Block, const std::string& SubBlock, const void** Buffer, uint32_t* Len);
