// A main window that shows nothing, for the definition file routines run without the editor:
// its 24 key buttons carry tags 0 to 23, and every notification is dropped.
#pragma once
#include "FileIO.h"
#include "KeypadClass.h"

class TSilentWindow : public TMainWindowOps {
public:
    void SetCaption(const std::string&) override {}
    int KeypadButtonCount() const override { return KeyCount; }
    int KeypadButtonTag(int Index) const override { return Index; }
    void UpdateKeyGlyph(int) override {}
    void SetLevelTab(int) override {}
    void PressSpeedButton1() override {}
    void RefreshGrid(int) override {}
    void SetModified(bool) override {}
    void SetSaveDialogFileName(const std::string&) override {}
};
