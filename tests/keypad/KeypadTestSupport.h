// Helpers for the definition tests: building macros and a main window that records what
// the file routines ask of it.
#pragma once
#include "FileIO.h"
#include "KeypadClass.h"

#include <initializer_list>
#include <string>
#include <vector>

// Appends each code to the selected macro; false as soon as one is refused.
inline bool Append(TKeypadClass& K, std::initializer_list<int32_t> Codes)
{
    for (int32_t c : Codes) {
        int32_t pos = K.CodeCount();
        if (!K.InsertCode(pos, c)) return false;
    }
    return true;
}

inline std::vector<int32_t> MacroCodes(const TKeypadClass& K)
{
    const auto& codes = K.Keys()[K.CurrentKey()].Levels[K.CurrentLevel()].Codes;
    return std::vector<int32_t>(codes.begin(), codes.begin() + K.CodeCount());
}

// Everything a definition holds, selection and view included.
inline bool SameDefinition(const TKeypadClass& A, const TKeypadClass& B)
{
    for (int k = 0; k < KeyCount; ++k) {
        const TKeyDataRec &a = A.Keys()[k], &b = B.Keys()[k];
        if (a.KeyType != b.KeyType) return false;
        for (int l = 0; l < LevelCount; ++l) {
            const TMacroData &x = a.Levels[l], &y = b.Levels[l];
            if (x.Codes != y.Codes || x.AutoRepeat != y.AutoRepeat || x.MacroMode != y.MacroMode || x.Name != y.Name)
                return false;
        }
    }
    return A.CurrentKey() == B.CurrentKey() && A.CurrentLevel() == B.CurrentLevel() &&
           A.RepeatDelay() == B.RepeatDelay() && A.RepeatRate() == B.RepeatRate() &&
           A.HostCanModifyAR() == B.HostCanModifyAR() && A.KeyRollOver() == B.KeyRollOver() &&
           A.LEDFunction() == B.LEDFunction() && A.CharacterPacing() == B.CharacterPacing() &&
           A.ModelNumber() == B.ModelNumber() && A.DownloadDelay() == B.DownloadDelay() &&
           A.ViewAsHex() == B.ViewAsHex();
}

// The main window's side of a load or save, as a log of calls. The panel's buttons stand
// in reverse key order, so the log shows that each glyph is drawn for its button's key.
class TRecordingWindow : public TMainWindowOps {
public:
    TRecordingWindow() { SetMainWindowOps(this); }
    ~TRecordingWindow() override { SetMainWindowOps(nullptr); }

    std::vector<std::string> Log;

    void SetCaption(const std::string& Caption) override { Log.push_back("caption " + Caption); }
    int KeypadButtonCount() const override { return KeyCount; }
    int KeypadButtonTag(int Index) const override { return KeyCount - 1 - Index; }
    void UpdateKeyGlyph(int Index) override
    {
        Log.push_back("glyph " + std::to_string(Index) + " key " + std::to_string(Keypad->CurrentKey()) + " type " +
                      std::to_string(Keypad->GetKeyType()));
    }
    void SetLevelTab(int TabIndex) override { Log.push_back("tab " + std::to_string(TabIndex)); }
    void PressSpeedButton1() override { Log.push_back("press SpeedButton1"); }
    void RefreshGrid(int Index) override { Log.push_back("grid " + std::to_string(Index)); }
    void SetModified(bool Flag) override { Log.push_back(Flag ? "modified" : "unmodified"); }
    void SetSaveDialogFileName(const std::string& FileName) override { Log.push_back("file " + FileName); }
};
