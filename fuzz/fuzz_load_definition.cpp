// Any file content must load without a crash, and leave a definition that keeps the
// capacity rules and that can be saved again.
#include "Dialogs.h"
#include "FileIO.h"
#include "Files.h"
#include "FuzzCheck.h"
#include "KeypadClass.h"
#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class TSilentDialogs : public TDialogSeam {
public:
    int ShowMessage(const TMessageRequest&) override { return mrOk; }
    bool ExecuteFileDialog(TFileDialog&) override { return false; }
};

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TMemoryFileSystem fs;
    static TSilentDialogs dialogs;
    static TSilentWindow window;
    static TKeypadClass model;
    static const std::string path = "/fuzz.ckd";
    SetFileSystem(&fs);
    SetDialogSeam(&dialogs);
    SetMainWindowOps(&window);
    Keypad = &model;

    model.Create();
    fs.Data.assign(reinterpret_cast<const char*>(data), size);
    LoadDefinition(path);
    for (int k = 0; k < KeyCount; ++k) {
        model.SetCurrentKey(static_cast<uint8_t>(k));
        model.SetCurrentLevel(0);
        const int32_t one = model.BytesUsed();
        Check(one <= MacroByteLimit && model.CodeCount() <= MacroByteLimit);
        model.SetCurrentLevel(1);
        Check(model.BytesUsed() <= SharedLevelByteLimit);
        Check(!model.LevelTwoUsed(static_cast<uint8_t>(k)) || one <= SharedLevelByteLimit);
    }
    model.SetCurrentKey(0);
    model.SetCurrentLevel(0);
    SaveDefinition(path);
    return 0;
}
