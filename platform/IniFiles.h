// Private-profile (INI) files, as the class library's INI object offers them.
//
// Section and key names match ignoring (ASCII) case; where a file repeats a section or a
// key, reads and writes use the first one. Bytes are kept as they are and a file's own line
// ends are kept. A write updates the key where it stands and leaves every other line of the
// file as it was; a missing key is added after the last key of its section, a missing
// section at the end of the file.
//
// The file is read once when the object is made. Writes collect in the object and reach the
// disk together in UpdateFile(): a complete new file replaces the old one, so a failed save
// never leaves a file half old, half new.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TIniFile {
public:
    // A path that is not a full path names a file in the Windows folder.
    explicit TIniFile(const std::string& FileName);
    // Writes pending changes when no error is on its way; a failure here cannot be reported,
    // so code that must know calls UpdateFile() first.
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // True when something is at the path that could not be read (a folder, a file without
    // read permission): every read then gives its default.
    bool ReadFailed() const { return FReadFailed; }

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
    // Every section heading of the file, in file order.
    void ReadSections(std::vector<std::string>& Strings) const;
    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Ident) const;

    // Writes the collected changes. Throws EIniFileException "Unable to write to <path>"
    // when they cannot reach the disk; the file on disk is then exactly as it was.
    void UpdateFile();

private:
    struct TLine {
        std::string Text; // without its line end
        std::string Eol;  // "\n", "\r\n"; "" or "\r" only for the file's last line
    };
    struct TSection {
        std::string Name;
        TLine Header;
        std::vector<TLine> Lines; // every line up to the next heading
    };

    void Parse(const std::string& Data);
    TSection* FindSection(const std::string& Section);
    const TSection* FindSection(const std::string& Section) const;
    static const TLine* FindKey(const TSection& S, const std::string& Ident, std::string* Value);
    std::string Serialize() const;
    // Gives a line that ends the file a line end, so that another line can follow it.
    void EndLine(TLine& Line) const;

    std::string FFileName;
    std::string FPath;        // resolved path
    bool FReadFailed = false; // something is there that could not be read: never overwrite it
    bool FDirty = false;
    int FUncaught = 0;
    std::string FEol = "\n";  // line end for new lines: the file's own
    std::vector<TLine> FPreamble;
    std::vector<TSection> FSections;
};
