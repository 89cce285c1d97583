#include "IniFiles.h"

#include "Files.h"
#include "SysUtils.h"

#include <exception>

namespace {

constexpr size_t kMaxStringRead = 2047;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A heading "[name]": the name between the bracket and the first "]", trimmed.
bool HeadingName(const std::string& text, std::string& name)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != '[') return false;
    const auto close = text.find(']', i + 1);
    name = Trim(text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1));
    return true;
}

// A key line "key=value": false for blank, comment and other lines.
bool KeyLine(const std::string& text, std::string& key, size_t& eq)
{
    eq = text.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(text.substr(0, eq));
    return !key.empty() && key[0] != ';';
}

} // namespace

TIniFile::TIniFile(const std::string& FileName)
    : FFileName(FileName), FPath(ResolveProfilePath(FileName)), FUncaught(std::uncaught_exceptions())
{
    std::string data;
    switch (FileSystem().ReadWholeFile(FPath, data)) {
    case TFileSystem::TReadResult::Read: Parse(data); break;
    case TFileSystem::TReadResult::Missing: break;
    case TFileSystem::TReadResult::Failed: FReadFailed = true; break;
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

void TIniFile::Parse(const std::string& Data)
{
    bool eolChosen = false;
    std::vector<TLine>* into = &FPreamble;
    size_t pos = 0;
    while (pos < Data.size()) {
        const auto nl = Data.find('\n', pos);
        TLine line;
        if (nl == std::string::npos) {
            line.Text = Data.substr(pos);
            pos = Data.size();
            // A carriage return that ends the file is read as that line's end, as it would be
            // once a line is added after it (EndLine).
            if (!line.Text.empty() && line.Text.back() == '\r') {
                line.Text.pop_back();
                line.Eol = "\r";
            }
        } else {
            size_t end = nl;
            line.Eol = "\n";
            if (end > pos && Data[end - 1] == '\r') {
                --end;
                line.Eol = "\r\n";
            }
            line.Text = Data.substr(pos, end - pos);
            pos = nl + 1;
            if (!eolChosen) {
                FEol = line.Eol;
                eolChosen = true;
            }
        }
        std::string name;
        if (HeadingName(line.Text, name)) {
            FSections.push_back(TSection{name, std::move(line), {}});
            into = &FSections.back().Lines;
        } else {
            into->push_back(std::move(line));
        }
    }
}

TIniFile::TSection* TIniFile::FindSection(const std::string& Section)
{
    for (auto& s : FSections)
        if (SameText(s.Name, Section)) return &s;
    return nullptr;
}

const TIniFile::TSection* TIniFile::FindSection(const std::string& Section) const
{
    return const_cast<TIniFile*>(this)->FindSection(Section);
}

const TIniFile::TLine* TIniFile::FindKey(const TSection& S, const std::string& Ident, std::string* Value)
{
    for (const auto& line : S.Lines) {
        std::string key;
        size_t eq;
        if (KeyLine(line.Text, key, eq) && SameText(key, Ident)) {
            if (Value) *Value = Trim(line.Text.substr(eq + 1));
            return &line;
        }
    }
    return nullptr;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const
{
    const TSection* s = FindSection(Section);
    std::string value;
    if (!s || !FindKey(*s, Ident, &value)) return Default;
    if (value.size() > kMaxStringRead) value.resize(kMaxStringRead);
    return value;
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

void TIniFile::EndLine(TLine& Line) const
{
    if (Line.Eol.empty()) Line.Eol = FEol;
    else if (Line.Eol == "\r") Line.Eol = "\r\n";
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
    std::string value = Value;
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    FDirty = true;

    TSection* s = FindSection(Section);
    if (!s) {
        // A new section goes at the end, after a line end for a last line that lacks one.
        std::vector<TLine>& last = FSections.empty() ? FPreamble : FSections.back().Lines;
        TLine* tail = !last.empty() ? &last.back() : (FSections.empty() ? nullptr : &FSections.back().Header);
        if (tail) EndLine(*tail);
        FSections.push_back(TSection{Section, TLine{"[" + Section + "]", FEol}, {}});
        s = &FSections.back();
    }
    int lastKey = -1;
    for (size_t i = 0; i < s->Lines.size(); ++i) {
        std::string key;
        size_t eq;
        if (!KeyLine(s->Lines[i].Text, key, eq)) continue;
        if (SameText(key, Ident)) {
            s->Lines[i].Text = s->Lines[i].Text.substr(0, eq + 1) + value;
            return;
        }
        lastKey = static_cast<int>(i);
    }
    TLine line{Ident + "=" + value, FEol};
    const size_t at = static_cast<size_t>(lastKey + 1);
    EndLine(at > 0 ? s->Lines[at - 1] : s->Header);
    s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
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
    for (const auto& s : FSections) Strings.push_back(s.Name);
}

bool TIniFile::SectionExists(const std::string& Section) const
{
    return FindSection(Section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const
{
    const TSection* s = FindSection(Section);
    return s && FindKey(*s, Ident, nullptr);
}

std::string TIniFile::Serialize() const
{
    std::string out;
    auto put = [&out](const TLine& l) {
        out += l.Text;
        out += l.Eol;
    };
    for (const auto& l : FPreamble) put(l);
    for (const auto& s : FSections) {
        put(s.Header);
        for (const auto& l : s.Lines) put(l);
    }
    return out;
}

void TIniFile::UpdateFile()
{
    if (!FDirty) return;
    if (FReadFailed || !FileSystem().ReplaceWholeFile(FPath, Serialize()))
        throw EIniFileException("Unable to write to " + FFileName);
    FDirty = false;
}
