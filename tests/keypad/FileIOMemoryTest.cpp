// The definition file routines when memory runs out at any one allocation: the error reaches
// the caller, and neither the definition in the window nor the file on disk is left half done.
#include "FileIO.h"
#include "HeapCounter.h"
#include "KeypadClass.h"
#include "KeypadTestSupport.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

namespace {

TEST(DefinitionFileMemory, AFailedSaveOrLoadLeavesDefinitionAndFileAsTheyWere)
{
    TTempDir dir;
    const std::string path = dir.File("def.ckd");
    TRecordingDialogs dialogs;
    TRecordingWindow window;
    auto model = std::make_unique<TKeypadClass>();
    Keypad = model.get();
    Keypad->SetModelNumber("Keysmith591");
    ASSERT_TRUE(Append(*Keypad, {30, 48, 46}));
    Keypad->SetCurrentKey(5);
    Keypad->SetCurrentLevel(1);
    ASSERT_TRUE(Append(*Keypad, {31}));
    // The key and level the window shows: edits after a failed save must still go there.
    const TKeypadClass shown = *Keypad;
    const std::string before = "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n";
    const std::string reference = dir.File("reference.ckd");
    WriteFileText(reference, before);
    SaveDefinition(reference);
    const std::string after = ReadFileText(reference);
    WriteFileText(path, before);

    bool saved = false;
    for (size_t n = 0; !saved && n < 100000; ++n) {
        FailAllocationAfter(n);
        try {
            SaveDefinition(path);
            saved = true;
        } catch (const std::bad_alloc&) {
        } catch (const Exception&) {
        }
        FailAllocationAfter(SIZE_MAX);
        ASSERT_TRUE(SameDefinition(*Keypad, shown)) << "save failing at allocation " << n;
        // Out of memory after the file was replaced leaves the flag set: harmless.
        const std::string text = ReadFileText(path);
        ASSERT_TRUE(text == before || text == after) << "save failing at allocation " << n;
    }
    ASSERT_TRUE(saved);

    // A load that fails leaves the definition as it was, or whole.
    auto keysOf = [](TKeypadClass K) {
        K.SetCurrentKey(0);
        K.SetCurrentLevel(0);
        return K;
    };
    const TKeypadClass full = keysOf(shown);
    Keypad->Create();
    const TKeypadClass empty = *Keypad;
    bool loaded = false;
    for (size_t n = 0; !loaded && n < 100000; ++n) {
        FailAllocationAfter(n);
        try {
            LoadDefinition(path);
            loaded = SameDefinition(*Keypad, full);
        } catch (const std::bad_alloc&) {
        }
        FailAllocationAfter(SIZE_MAX);
        // Out of memory while the window is brought up to date comes after the whole load.
        ASSERT_TRUE(SameDefinition(keysOf(*Keypad), empty) || SameDefinition(keysOf(*Keypad), full))
            << "load failing at allocation " << n;
    }
    EXPECT_TRUE(loaded);
    Keypad = nullptr;
}

} // namespace
