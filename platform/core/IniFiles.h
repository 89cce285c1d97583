// Private-profile (INI) files, as the class library's INI object offers them.
//
// Section and key names match ignoring (ASCII) case; where a file repeats a section or a
// key, reads and writes use the first one. Bytes are kept as they are and a file's own line
// ends are kept: a line ends at LF, CR LF or a CR alone. A UTF-8 byte-order mark that starts
// the file belongs to no line and stays where it is. A write updates the key where it
// stands and leaves every other line of the file as it was; a missing key is added after
// the last key of its section, a missing section at the end of the file.
//
// The file is read once, through one open, when the object is made, and held as its text
// alone: apart from the text, memory grows with the number of distinct section names only,
// and a section is found in constant time. Writes collect in the object and reach the disk
// together in UpdateFile(): a complete new file replaces the old one, so a failed save never
// leaves a file half old, half new.
#pragma once
#include "Files.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
public:
    // Section positions are kept in 32 bits: a larger file is one that cannot be read.
    static constexpr size_t MaxFileSize = 0xFFFFFFF0u;

    // A path that is not a full path names a file in the Windows folder. A file larger than
    // MaxSize bytes, like one that memory cannot hold, counts as one that could not be read.
    explicit TIniFile(const std::string& FileName, size_t MaxSize = MaxFileSize);
    // Writes pending changes when no error is on its way; a failure here cannot be reported,
    // so code that must know calls UpdateFile() first.
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // What the one read of the file found.
    TFileSystem::TReadResult ReadResult() const { return FReadResult; }
    // True when something is at the path that could not be read (a folder, a file without
    // read permission, too large): every read then gives its default.
    bool ReadFailed() const { return FReadResult == TFileSystem::TReadResult::Failed; }

    // At most 2047 characters of the value; Default when the key is missing.
    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const;
    // Decimal with sign, or hexadecimal after "0x", "0X" or "$"; Default for a missing,
    // empty or non-numeric value.
    int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
    // An integer read with the default 1 or 0; any non-zero value is true.
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;
    // A line break cannot live inside a value: each one is stored as a blank.
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
    void WriteBool(const std::string& Section, const std::string& Ident, bool Value);
    // True when the file holds at least one section heading.
    bool HasSections() const { return FIndexed > 0; }
    // Every section heading of the file, in file order.
    void ReadSections(std::vector<std::string>& Strings) const;
    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Ident) const;

    // Writes the collected changes. Throws EIniFileException "Unable to write to <path>"
    // when they cannot reach the disk; the file on disk is then exactly as it was.
    void UpdateFile();

private:
    // One line of FText: its text is [Begin, End); Next is where the following line starts.
    struct TLine {
        size_t Begin = 0, End = 0, Next = 0;
    };
    // A key line of a section: the line, and where its value starts (after the "=").
    struct TKeyLine {
        TLine Line;
        size_t Value = 0;
    };

    size_t FirstLine() const;
    TLine LineAt(size_t Pos) const;
    std::string_view Text(const TLine& Line) const;
    // The heading line of the first section so named; false when there is none.
    bool FindSection(std::string_view Section, TLine& Heading) const;
    // The first key line so named in the section after Heading; false when there is none.
    // LastKey, when given, is left on the section's last key line (or on Heading itself).
    bool FindKey(const TLine& Heading, std::string_view Ident, TKeyLine& Key, TLine* LastKey = nullptr) const;

    void BuildIndex();
    void IndexHeading(size_t Pos, std::string_view Name);
    // Puts Text in place of FText's [Pos, Pos + Count), keeping the index in step.
    void Splice(size_t Pos, size_t Count, const std::string& Text);
    // Inserts whole lines after Line, first giving Line a line end when it ends the file.
    void InsertAfter(const TLine& Line, std::string Lines);

    std::string FFileName;
    std::string FPath;        // resolved path
    TFileSystem::TReadResult FReadResult = TFileSystem::TReadResult::Missing;
    bool FDirty = false;
    int FUncaught = 0;
    std::string FEol = "\n";  // line end for new lines: the file's own first one
    std::string FText;        // the whole file, with the writes made so far
    // Open addressing by section name: each slot is 0 or 1 + the offset of the heading line
    // of the first section of its name.
    std::vector<uint32_t> FIndex;
    size_t FIndexed = 0;
};
