// Every window of the editor and the layer's message boxes walked control by control: each
// caption fits its control, and each control lies inside its window and under no sibling.
// Measured with the windows' own fonts, as they are drawn headless. (The loader's window: LoaderFitTest.cpp.)
#include "QtTestApp.h"

#include "About.h"
#include "Glyphs.h"
#include "KeyboardLayout.h"
#include "Params.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "Startup.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "WidgetFit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QTimer>

#include <map>

namespace {

void ExpectFits(QWidget& Window)
{
    Window.show();
    QCoreApplication::processEvents(); // placed again once framed
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

    // The layer's boxes, one of each picture, walked while they are open.
    TQtDialogSeam screen;
    for (const TMsgIcon icon : {TMsgIcon::Question, TMsgIcon::Stop, TMsgIcon::Warning, TMsgIcon::Information}) {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            ExpectFits(*box);
            box->done(0);
        });
        screen.ShowMessage(TMessageRequest{"Confirm", "Do you wish to save changes to your custom definition?", icon});
    }
}

// The key caps are pictures: their legends are measured where the pictures are drawn, which is
// at the screen's pixel ratio. A legend's words stay whole: its second line starts a word of
// its own (legends write every word capitalised, so a line starting in lower case goes on
// with the word above it).
TEST(EditorWidgetFit, EveryKeyCapLegendInTheLegendsSize)
{
    App();
    TRecordingDialogs dialogs;
    std::unique_ptr<TfrmMain> main = CreateMainForm();
    std::map<QString, QString> legends{{"btnInsertMediaKey", MediaKeyLegend}};
    for (const TKeyPlace& k : OnScreenKeys) legends[k.Name] = k.Legend;
    for (const TTogglePlace& t : ModifierToggles) legends[t.Name] = t.Legend;
    EXPECT_GE(QFontInfo(KeyCapFont()).pixelSize(), FormFont().pixelSize() - 96.0 / 72.0);
    int caps = 0;
    for (const TSpeedButton* b : main->findChildren<TSpeedButton*>()) {
        const auto legend = legends.find(b->objectName());
        if (legend == legends.end() || b->Glyph().isNull()) continue;
        ++caps;
        EXPECT_EQ(b->Glyph().devicePixelRatio(), main->devicePixelRatioF()) << b->objectName().toStdString();
        const QStringList lines = legend->second.split(u'\n');
        for (const QString& line : lines.mid(1))
            EXPECT_FALSE(line.front().isLower()) << b->objectName().toStdString() << " \"" << legend->second.toStdString()
                                                 << "\" cuts a word in two";
        const QSize size = b->Glyph().deviceIndependentSize().toSize();
        const QRect face = KeyCapFace(size.width(), size.height());
        for (const QRect& line : KeyCapLegendInk(legend->second, size.width(), size.height()))
            EXPECT_TRUE(face.contains(line)) << b->objectName().toStdString() << " \"" << legend->second.toStdString()
                                             << "\" needs " << line.width() << "x" << line.height() << " in " << face.width()
                                             << "x" << face.height();
    }
    EXPECT_EQ(caps, OnScreenKeyCount - 1 + ModifierToggleCount + 1); // all but Power, which has a caption
}

} // namespace
