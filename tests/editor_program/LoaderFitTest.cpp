// The loader's window walked control by control in each state the run leaves it in: its
// captions whole, its controls inside it and under no other.
#include "QtTestApp.h"

#include "HidTransport.h"
#include "SplashForm.h"
#include "VirtualKeypad.h"
#include "WidgetFit.h"

#include <gtest/gtest.h>

using namespace loader;

namespace {

TEST(LoaderWidgetFit, WindowInEachState)
{
    App();
    TVirtualKeypad keypad;
    TVirtualLibraries libraries;
    TRecordedPauses pauses;
    TRecordingDialogs dialogs; // the file dialog is cancelled
    const std::string file = keypad.Dir.File("my keypad.ckd");
    WriteFileText(file, "[GLOBAL_PARAMETERS]\nDownload_Delay=20\n");
    struct Row {
        const char* State;
        std::vector<std::string> Params;
        const char* Devices;
    };
    for (const Row& row : {Row{"no file chosen", {"/p/Keyburn591"}, ""},
                           Row{"file refused", {"/p/Keyburn591", keypad.Dir.File("none.ckd")}, ""},
                           Row{"no keypad", {"/p/Keyburn591", file}, ""},
                           Row{"send failed", {"/p/Keyburn591", file}, "16c0 0607 feature-fails=1\n"},
                           Row{"done", {"/p/Keyburn591", file}, "16c0 0607\n"}}) {
        keypad.SetDevices(row.Devices);
        TForm2 form(row.Params);
        const auto faults = FitFaults(form);
        EXPECT_TRUE(faults.empty()) << row.State << ":" << FitReport(faults);
        UnloadHidApi();
    }
}

} // namespace
