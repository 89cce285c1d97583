// The ".ckd" definition file: writing and reading the whole of the one Keypad, and showing
// the result in the editor's main window.
#pragma once
#include <string>

// What the definition file routines need of the editor's main window.
class TMainWindowOps {
public:
    virtual ~TMainWindowOps() = default;
    virtual void SetCaption(const std::string& Caption) = 0;
    virtual int KeypadButtonCount() const = 0;          // buttons on pnlKeypad, in the panel's order
    virtual int KeypadButtonTag(int Index) const = 0;   // that button's Tag, the key index
    virtual void UpdateKeyGlyph(int Index) = 0;         // draws that button's glyph from the selected key's KeyType
    virtual void SetLevelTab(int TabIndex) = 0;         // TabControlLevel; 0 is "Level 1"
    virtual void PressSpeedButton1() = 0;               // SpeedButton1 down, as a click from code
    virtual void RefreshGrid(int Index) = 0;
    virtual void SetModified(bool Flag) = 0;
    virtual void SetSaveDialogFileName(const std::string& FileName) = 0;
};
void SetMainWindowOps(TMainWindowOps* Ops);   // the main window registers itself; nullptr detaches

// Writes the whole definition to Path (created when missing; other sections and keys of an
// existing file stay). On success the caption shows the file's name and the definition is
// no longer modified. Throws EIniFileException "Unable to write to <path>" when the file
// cannot be written; the old file, the caption and the modified flag then stay as they were.
void SaveDefinition(const std::string& Path);

// Replaces the definition by the one in the file at Path and shows it, key 1, level 1
// selected. No file there: nothing happens. A file of another model: "Not a Keysmith591
// file!" and the definition stays exactly as it was.
void LoadDefinition(const std::string& Path);

// Reads one code string into the selected macro from position 0. Codes that do not fit
// are dropped; text that no token matches shows the unrecognized-value message and ends
// the string.
void ParseCodeString(const std::string& Text);
