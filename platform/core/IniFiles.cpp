#include "IniFiles.h"

#include "Files.h"
#include "SysUtils.h"

#include <algorithm>
#include <exception>
#include <new>

namespace {

constexpr size_t kMaxStringRead = 2047;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

uint32_t NameHash(std::string_view s)
{
    uint32_t h = 2166136261u;
    for (char c : s) h = (h ^ static_cast<unsigned char>(Lower(c))) * 16777619u;
    return h;
}

// A heading "[name]": the name between the bracket and the first "]", trimmed.
bool HeadingName(std::string_view text, std::string_view& name)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != '[') return false;
    const auto close = text.find(']', i + 1);
    name = Trim(text.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1));
    return true;
}

// A key line "key=value": false for blank, comment and other lines.
bool KeyLine(std::string_view text, std::string_view& key, size_t& eq)
{
    eq = text.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(text.substr(0, eq));
    return !key.empty() && key[0] != ';';
}

} // namespace

TIniFile::TIniFile(const std::string& FileName, size_t MaxSize)
    : FFileName(FileName), FPath(ResolveProfilePath(FileName)), FUncaught(std::uncaught_exceptions())
{
    const size_t limit = std::min(MaxSize, MaxFileSize);
    try {
        FReadResult = FileSystem().ReadWholeFile(FPath, FText, limit);
        if (FReadResult == TFileSystem::TReadResult::Read && FText.size() > limit)
            FReadResult = TFileSystem::TReadResult::Failed;
        if (FReadResult == TFileSystem::TReadResult::Read) {
            const size_t end = FText.find_first_of("\r\n");
            if (end != std::string::npos)
                FEol = FText[end] == '\n' ? "\n" : FText.compare(end, 2, "\r\n") == 0 ? "\r\n" : "\r";
            BuildIndex();
        }
    } catch (const std::bad_alloc&) {
        // A file that memory cannot hold is one that could not be read.
        FReadResult = TFileSystem::TReadResult::Failed;
    }
    if (FReadResult != TFileSystem::TReadResult::Read) {
        FText = std::string();
        FIndex = std::vector<uint32_t>();
        FIndexed = 0;
    }
}

TIniFile::~TIniFile()
{
    if (FDirty && std::uncaught_exceptions() == FUncaught) {
        try {
            UpdateFile();
        } catch (const Exception&) {
            // Nothing can be reported from here; the old file is intact.
        }
    }
}

size_t TIniFile::FirstLine() const
{
    return std::string_view(FText).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

TIniFile::TLine TIniFile::LineAt(size_t Pos) const
{
    const size_t n = FText.size();
    const char* t = FText.data();
    size_t e = Pos;
    while (e < n && t[e] != '\n' && t[e] != '\r') ++e;
    size_t next = e;
    if (e < n) next = t[e] == '\r' && e + 1 < n && t[e + 1] == '\n' ? e + 2 : e + 1;
    return TLine{Pos, e, next};
}

std::string_view TIniFile::Text(const TLine& Line) const
{
    return std::string_view(FText).substr(Line.Begin, Line.End - Line.Begin);
}

void TIniFile::BuildIndex()
{
    FIndex.assign(16, 0);
    FIndexed = 0;
    for (size_t pos = FirstLine(); pos < FText.size();) {
        const TLine line = LineAt(pos);
        std::string_view name;
        if (HeadingName(Text(line), name)) IndexHeading(line.Begin, name);
        pos = line.Next;
    }
}

void TIniFile::IndexHeading(size_t Pos, std::string_view Name)
{
    if ((FIndexed + 1) * 10 > FIndex.size() * 7) {
        std::vector<uint32_t> old(std::max<size_t>(16, FIndex.size() * 2), 0);
        old.swap(FIndex);
        const size_t mask = FIndex.size() - 1;
        for (uint32_t slot : old) {
            if (!slot) continue;
            std::string_view name;
            HeadingName(Text(LineAt(slot - 1)), name);
            size_t i = NameHash(name) & mask;
            while (FIndex[i]) i = (i + 1) & mask;
            FIndex[i] = slot;
        }
    }
    const size_t mask = FIndex.size() - 1;
    for (size_t i = NameHash(Name) & mask;; i = (i + 1) & mask) {
        if (!FIndex[i]) {
            FIndex[i] = static_cast<uint32_t>(Pos + 1);
            ++FIndexed;
            return;
        }
        std::string_view name;
        HeadingName(Text(LineAt(FIndex[i] - 1)), name);
        if (SameName(name, Name)) return; // the first section of a name is the one used
    }
}

bool TIniFile::FindSection(std::string_view Section, TLine& Heading) const
{
    if (FIndex.empty()) return false;
    const size_t mask = FIndex.size() - 1;
    for (size_t i = NameHash(Section) & mask; FIndex[i]; i = (i + 1) & mask) {
        const TLine line = LineAt(FIndex[i] - 1);
        std::string_view name;
        HeadingName(Text(line), name);
        if (SameName(name, Section)) {
            Heading = line;
            return true;
        }
    }
    return false;
}

bool TIniFile::FindKey(const TLine& Heading, std::string_view Ident, TKeyLine& Key, TLine* LastKey) const
{
    if (LastKey) *LastKey = Heading;
    for (size_t pos = Heading.Next; pos < FText.size();) {
        const TLine line = LineAt(pos);
        const std::string_view text = Text(line);
        std::string_view key;
        size_t eq;
        if (HeadingName(text, key)) break;
        if (KeyLine(text, key, eq)) {
            if (SameName(key, Ident)) {
                Key = TKeyLine{line, line.Begin + eq + 1};
                return true;
            }
            if (LastKey) *LastKey = line;
        }
        pos = line.Next;
    }
    return false;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const
{
    TLine heading;
    TKeyLine key;
    if (!FindSection(Section, heading) || !FindKey(heading, Ident, key)) return Default;
    const std::string_view value = Trim(std::string_view(FText).substr(key.Value, key.Line.End - key.Value));
    return std::string(value.substr(0, kMaxStringRead));
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const
{
    const std::string text = ReadString(Section, Ident, "");
    return text.empty() ? Default : StrToIntDef(text, Default);
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::Splice(size_t Pos, size_t Count, const std::string& Text)
{
    if (FText.size() - Count + Text.size() > MaxFileSize) throw EIniFileException("Unable to write to " + FFileName);
    FText.replace(Pos, Count, Text);
    const auto delta = static_cast<uint32_t>(Text.size() - Count); // wraps for a shrink, as intended
    for (uint32_t& slot : FIndex)
        if (slot && slot - 1 >= Pos) slot += delta;
}

void TIniFile::InsertAfter(const TLine& Line, std::string Lines)
{
    // A lone CR before an LF would join them into one line end and lose a blank line.
    if (Lines.back() == '\r' && Line.Next < FText.size() && FText[Line.Next] == '\n') Lines += '\n';
    Splice(Line.Next, 0, Line.Next == Line.End ? FEol + Lines : Lines);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
    std::string value = Value;
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    FDirty = true;

    TLine heading;
    if (!FindSection(Section, heading)) {
        // A new section goes at the end, after a line end for a last line that lacks one.
        size_t at = FText.size();
        std::string lines = "[" + Section + "]" + FEol;
        if (at > FirstLine() && FText.back() != '\n' && FText.back() != '\r') {
            lines.insert(0, FEol);
            at += FEol.size();
        }
        Splice(FText.size(), 0, lines);
        std::string_view name;
        heading = LineAt(at);
        HeadingName(Text(heading), name);
        IndexHeading(at, name);
    }
    TKeyLine key;
    TLine lastKey;
    if (FindKey(heading, Ident, key, &lastKey))
        Splice(key.Value, key.Line.End - key.Value, value);
    else
        InsertAfter(lastKey, Ident + "=" + value + FEol);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value)
{
    WriteString(Section, Ident, IntToStr(Value));
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value)
{
    WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::ReadSections(std::vector<std::string>& Strings) const
{
    Strings.clear();
    for (size_t pos = FirstLine(); pos < FText.size();) {
        const TLine line = LineAt(pos);
        std::string_view name;
        if (HeadingName(Text(line), name)) Strings.emplace_back(name);
        pos = line.Next;
    }
}

bool TIniFile::SectionExists(const std::string& Section) const
{
    TLine heading;
    return FindSection(Section, heading);
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const
{
    TLine heading;
    TKeyLine key;
    return FindSection(Section, heading) && FindKey(heading, Ident, key);
}

void TIniFile::UpdateFile()
{
    if (!FDirty) return;
    if (ReadFailed() || !FileSystem().ReplaceWholeFile(FPath, FText))
        throw EIniFileException("Unable to write to " + FFileName);
    FDirty = false;
}
