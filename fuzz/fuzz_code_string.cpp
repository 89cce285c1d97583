// Any code string must read without a crash within the capacity rules; what the model then
// writes must read back without a message, and, when nothing can have been refused for want
// of room, write again as the very same string.
#include "FileIO.h"
#include "FuzzCheck.h"
#include "KeypadClass.h"
#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// The most keypad bytes one code takes (the PrintScr row).
constexpr int32_t LargestCodeCost = 10;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TKeypadClass model;
    static TRecordingDialogs dialogs;
    Keypad = &model;

    model.Create();
    ParseCodeString(std::string(reinterpret_cast<const char*>(data), size));
    Check(model.BytesUsed() <= MacroByteLimit);
    const std::string written = model.GetCodeString();

    model.Create();
    dialogs.Messages.clear();
    ParseCodeString(written);
    Check(dialogs.Messages.empty());
    if (model.BytesUsed() + LargestCodeCost <= MacroByteLimit) Check(model.GetCodeString() == written);
    return 0;
}
