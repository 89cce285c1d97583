#include "EditorWriter.h"

#include "FileIO.h"
#include "KeypadClass.h"
#include "SilentWindow.h"

#include <stdexcept>

namespace {

int32_t CodeOf(std::string_view Hex)
{
    for (int row = 1; row < KeyTableRows; ++row)
        if (KeyTable[row].HexText[0] == Hex) return row;
    throw std::runtime_error("no key table row sends " + std::string(Hex));
}

void Insert(TKeypadClass& K, std::initializer_list<int32_t> Codes)
{
    int32_t pos = K.CodeCount();
    for (int32_t c : Codes)
        if (!K.InsertCode(pos, c)) throw std::runtime_error("code refused");
}

template <class F>
void Save(const std::string& Path, F&& Build)
{
    TKeypadClass keypad;
    TSilentWindow window;
    TKeypadClass* previous = Keypad;
    Keypad = &keypad;
    SetMainWindowOps(&window);
    Build(keypad);
    SaveDefinition(Path);
    SetMainWindowOps(nullptr);
    Keypad = previous;
}

} // namespace

void SaveNewEditorDefinition(const std::string& Path)
{
    Save(Path, [](TKeypadClass&) {});
}

void SaveEditorDefinition(const std::string& Path)
{
    Save(Path, [](TKeypadClass& k) {
        k.SetKeyRollOver(1);
        k.SetLEDFunction(LedFunctionHostMacro);
        k.SetDownloadDelay(20);
        k.SetCurrentKey(3);
        k.SetCurrentLevel(0);
        k.SetMacroMode(MacroModeMacro);
        const int32_t enter = CodeOf("5a");
        Insert(k, {enter, CodeBreak, enter});
        k.SetCurrentKey(5);
        k.SetKeyType(KeyTypeToggleLevel);
        k.SetAutoRepeat(true);
        k.SetCurrentLevel(1);
        const int32_t shift = CodeOf("12");
        Insert(k, {shift, CodeBreak, shift});
        k.SetCurrentKey(7);
        k.SetCurrentLevel(0);
        Insert(k, {CodeLedOn, CodeDelayBase + 25});
    });
}
