// Every window of the editor walked control by control: each caption fits its control, and
// each control lies inside its window and under no sibling. Measured with the windows' own
// fonts, as they are drawn headless. (The loader's window: LoaderFitTest.cpp.)
#include "QtTestApp.h"

#include "About.h"
#include "Params.h"
#include "Startup.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "WidgetFit.h"

#include <gtest/gtest.h>

namespace {

void ExpectFits(QWidget& Window)
{
    Window.show();
    const auto faults = FitFaults(Window);
    EXPECT_TRUE(faults.empty()) << WidgetName(&Window) << ":" << FitReport(faults);
}

TEST(EditorWidgetFit, EveryWindow)
{
    App();
    TRecordingDialogs dialogs;
    // The main window with its longest texts: key 24, level 2, a macro in Literal mode.
    std::unique_ptr<TfrmMain> main = CreateMainForm();
    main->SpeedButton24->click();
    main->TabControlLevel->Tabs()->setCurrentIndex(1);
    main->InsertAtCursor(30);
    main->cboxMacroMode->setCurrentIndex(3);
    ExpectFits(*main);

    TfrmParameters properties(main.get());
    ExpectFits(properties);
    TfrmAbout about;
    ExpectFits(about);
    TStartupForm question;
    ExpectFits(question);
}

} // namespace
