#include "QtTestApp.h"
#include "DefinitionReader.h"
#include "Devices.h"
#include "HidTransport.h"
#include "SplashForm.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QLabel>
#include <QProgressBar>

#include <filesystem>
#include <functional>

using namespace loader;

namespace {

using Bytes = std::vector<uint8_t>;

// What the window showed at each pause: the run pauses only after it repainted.
struct TShown {
    uint32_t Ms;
    std::string FileText, Status;
    bool Visible;
    int Progress;
};
std::vector<TShown> gShown;
// Runs at each pause with the pause's length, after the snapshot.
std::function<void(uint32_t)> gAtPause;

QString Text(QWidget* Form, const char* Name)
{
    auto* l = Form->findChild<QLabel*>(Name);
    return l ? l->text() : QString();
}

void Snapshot(uint32_t Ms)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != "Form2") continue;
        gShown.push_back({Ms, Text(w, "Label5").toStdString(), Text(w, "Label2").toStdString(), w->isVisible(),
                          w->findChild<QProgressBar*>("ProgressBar1")->value()});
        return;
    }
    gShown.push_back({Ms, "", "", false, -1});
}

void SnapshotAndAct(uint32_t Ms)
{
    Snapshot(Ms);
    if (gAtPause) gAtPause(Ms);
}

class SplashFormTest : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    TVirtualLibraries Libraries;
    TTempDir Files;

    void SetUp() override
    {
        App();
        gShown.clear();
        SetSleepSeam(&SnapshotAndAct);
        Keypad.SetDevices("16c0 0607\n");
    }
    void TearDown() override
    {
        SetSleepSeam(nullptr);
        gAtPause = nullptr;
        UnloadHidApi();
    }
    std::string Definition(const std::string& Name, const std::string& Text)
    {
        std::string path = Files.File(Name);
        WriteFileText(path, Text);
        return path;
    }
    std::vector<uint32_t> Pauses() const
    {
        std::vector<uint32_t> out;
        for (const TShown& s : gShown) out.push_back(s.Ms);
        return out;
    }
    const TShown& Last() const { return gShown.back(); }
};

TEST_F(SplashFormTest, DownloadsAnEmptyDefinitionWithPacingAndProgress)
{
    const std::string path = Definition("my keypad.ckd", "[GLOBAL_PARAMETERS]\nDownload_Delay=0\n");
    // A path given unquoted arrives split at its blanks.
    std::string dir = Files.Path() + "/my", rest = "keypad.ckd";
    TForm2 form({"/opt/quill/Keyburn591", dir, rest});
    EXPECT_TRUE(form.Succeeded());
    EXPECT_EQ(form.Path(), path);
    EXPECT_EQ(form.Label5->text(), "my keypad.ckd");
    EXPECT_EQ(form.Label6->text(), "Keyburn591 - Version 5.50");
    EXPECT_EQ(form.lblDownloadDelay->text(), "0ms");
    EXPECT_EQ(form.lblPort->text(), "USB (5.1+)");
    EXPECT_EQ(form.Label2->text(), "Done!");
    EXPECT_EQ(form.ProgressBar1->value(), 100);
    EXPECT_FALSE(form.lblNoMoveMouse->isVisible());
    EXPECT_EQ(form.ClientArea->size(), QSize(321, 231));
    EXPECT_EQ(form.windowTitle(), "Keyburn - USB/PS2 Keypad Programmer");

    EXPECT_EQ(Keypad.CarriedBytes(), DownloadStream());
    EXPECT_EQ(Keypad.CarriedBytes().size(), 206u);
    EXPECT_FALSE(HidApiLoaded); // closed and unbound after the last byte
    // 206 bytes at 10 ms; every 10th byte a progress step of 25 ms, 20 of them (to 80); then
    // "Done!" for 500 ms, at 100.
    const auto pauses = Pauses();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 10u), 206);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 25u), 20);
    int lastStep = 0;
    for (const TShown& s : gShown)
        if (s.Ms == 25) lastStep = s.Progress;
    EXPECT_EQ(lastStep, 80);
    EXPECT_EQ(Last().Ms, 500u);
    EXPECT_EQ(Last().Status, "Done!");
    EXPECT_EQ(Last().Progress, 100);
    EXPECT_TRUE(Last().Visible);
}

TEST_F(SplashFormTest, DownloadDelayPausesAfterEverySuccessfulByte)
{
    const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\nDownload_Delay=20\n");
    TForm2 form({"/p/Keyburn591", path});
    EXPECT_TRUE(form.Succeeded());
    EXPECT_EQ(form.lblDownloadDelay->text(), "20ms");
    const auto pauses = Pauses();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 20u), 206);
    EXPECT_EQ(pauses[0], 10u);
    EXPECT_EQ(pauses[1], 20u);
}

TEST_F(SplashFormTest, NegativeDownloadDelayGivesNoPause)
{
    const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\nDownload_Delay=-1\n");
    TForm2 form({"/p/Keyburn591", path});
    EXPECT_TRUE(form.Succeeded());
    EXPECT_EQ(form.lblDownloadDelay->text(), "-1ms");
    for (uint32_t ms : Pauses()) EXPECT_TRUE(ms == 10 || ms == 25 || ms == 500) << ms;
}

TEST_F(SplashFormTest, CancelledDialogEndsBeforeAnythingIsRead)
{
    TRecordingDialogs dialogs;
    TForm2 form({"/opt/quill/Keyburn591"});
    EXPECT_FALSE(form.Succeeded());
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    const TFileDialog& d = dialogs.FileDialogs[0];
    EXPECT_EQ(d.Kind, TFileDialogKind::Open);
    EXPECT_EQ(d.Filter, "Keypad Files (*.ckd)|*.ckd|All Files (*.*)|*.*");
    EXPECT_EQ(d.Title, "Keyburn - Choose Keypad File");
    EXPECT_EQ(d.InitialDir, "/opt/quill/Macro Files");
    EXPECT_EQ(form.Label5->text(), "Error -- No keypad file specified!");
    EXPECT_EQ(form.lblDownloadDelay->text(), "--");
    EXPECT_EQ(Libraries.Opens, 0); // the device is never searched
    EXPECT_EQ(Pauses(), (std::vector<uint32_t>{3500}));
    EXPECT_TRUE(Last().Visible);
    EXPECT_EQ(Last().FileText, "Error -- No keypad file specified!");
}

TEST_F(SplashFormTest, FileChosenInTheDialogIsDownloaded)
{
    TRecordingDialogs dialogs;
    dialogs.FileAnswers.push_back(Definition("chosen.ckd", "[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n"));
    TForm2 form({"/opt/quill/Keyburn591"});
    EXPECT_TRUE(form.Succeeded());
    EXPECT_EQ(form.Label5->text(), "chosen.ckd");
    EXPECT_EQ(Keypad.CarriedBytes().size(), 210u);
}

TEST_F(SplashFormTest, MissingFileIsRefusedWithoutASearch)
{
    // Two blanks in a row arrive as one and so name another file.
    Definition("a  b.ckd", "[GLOBAL_PARAMETERS]\n");
    TForm2 form({"/p/Keyburn591", Files.Path() + "/a", "b.ckd"});
    EXPECT_FALSE(form.Succeeded());
    EXPECT_EQ(form.Label5->text(), "a b.ckd");
    EXPECT_EQ(form.Label2->text(), "Error -- Bad or missing keypad file!");
    EXPECT_EQ(Libraries.Opens, 0);
    EXPECT_EQ(Pauses(), (std::vector<uint32_t>{3500}));
    EXPECT_EQ(Last().Status, "Error -- Bad or missing keypad file!");
}

TEST_F(SplashFormTest, NoKeypadStillShowsTheFileValues)
{
    Keypad.SetDevices("04b4 0a0a\n");
    const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\nDownload_Delay=20\n");
    TForm2 form({"/p/Keyburn591", path});
    EXPECT_FALSE(form.Succeeded());
    EXPECT_EQ(form.lblDownloadDelay->text(), "20ms");
    EXPECT_EQ(form.lblPort->text(), "USB (5.1+)");
    EXPECT_EQ(form.Label2->text(), "Keypad or driver not found!");
    EXPECT_EQ(Pauses(), (std::vector<uint32_t>{3500}));
    EXPECT_TRUE(Keypad.Reports().empty());
}

TEST_F(SplashFormTest, FailedReportStopsTheDownload)
{
    struct Row {
        const char* Name;
        const char* Devices;
        size_t Received;
    };
    for (Row row : {Row{"first header byte", "16c0 0607 feature-fails=1\n", 0},
                    Row{"download end", "16c0 0607 feature-fails=206\n", 205}}) {
        Keypad.SetDevices(row.Devices);
        std::remove(Keypad.LogFile().c_str());
        gShown.clear();
        const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\n");
        TForm2 form({"/p/Keyburn591", path});
        EXPECT_FALSE(form.Succeeded()) << row.Name;
        EXPECT_EQ(form.Label2->text(), "Keypad send timeout!") << row.Name;
        EXPECT_EQ(Keypad.CarriedBytes().size(), row.Received) << row.Name;
        EXPECT_FALSE(HidApiLoaded) << row.Name; // closed once, by the failure
        EXPECT_EQ(Libraries.Opens, Libraries.Closes) << row.Name;
        EXPECT_EQ(Last().Ms, 3500u) << row.Name;
        EXPECT_EQ(Last().Status, "Keypad send timeout!") << row.Name;
        for (const TShown& s : gShown) EXPECT_NE(s.Status, "Done!") << row.Name;
    }
}

TEST_F(SplashFormTest, LongPathIsReadWhole)
{
    std::string dir = Files.Path();
    for (int i = 0; i < 3; ++i) dir += "/" + std::string(200, char('a' + i));
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/long name.ckd";
    WriteFileText(path, "[GLOBAL_PARAMETERS]\nDownload_Delay=3\n");
    ASSERT_GT(path.size(), 511u);
    TForm2 form({"/p/Keyburn591", dir + "/long", "name.ckd"});
    EXPECT_EQ(form.Path(), path);
    EXPECT_EQ(form.lblDownloadDelay->text(), "3ms");
    EXPECT_TRUE(form.Succeeded());
}

TEST_F(SplashFormTest, WindowHasABorderWithoutTitleBar)
{
    const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\n");
    TForm2 form({"/p/Keyburn591", path});
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE((flags & Qt::FramelessWindowHint) || !(flags & Qt::WindowTitleHint));
    EXPECT_EQ(form.ClientArea->size(), QSize(321, 231));
    // The border the window draws around its white client area.
    const QImage shot = form.grab().toImage();
    const int b = TForm2::BorderWidth;
    for (QPoint edge : {QPoint(b - 1, form.height() / 2), QPoint(form.width() - 1, form.height() / 2),
                        QPoint(form.width() / 2, form.height() - 1)})
        EXPECT_NE(shot.pixelColor(edge), QColor(Qt::white)) << edge.x() << "," << edge.y();
    EXPECT_EQ(shot.pixelColor(b + 2, b + 2), QColor(Qt::white));
    EXPECT_EQ(form.ClientArea->mapTo(&form, QPoint(0, 0)), QPoint(b, b));
}

TEST_F(SplashFormTest, NothingQueuedActsDuringTheDownload)
{
    // A request to close, a key and a timer that come while bytes are sent wait for an event
    // loop that never runs: the window stays and the download goes on to "Done!".
    const std::string path = Definition("d.ckd", "[GLOBAL_PARAMETERS]\n");
    bool queuedRan = false;
    int sent = 0;
    gAtPause = [&](uint32_t Ms) {
        if (Ms != 10 || ++sent != 1) return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != "Form2") continue;
            QCoreApplication::postEvent(w, new QCloseEvent);
            QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        }
        QTimer::singleShot(0, [&] { queuedRan = true; });
    };
    {
        TForm2 form({"/p/Keyburn591", path});
        EXPECT_TRUE(form.Succeeded());
        EXPECT_EQ(Keypad.CarriedBytes().size(), 206u);
        EXPECT_FALSE(queuedRan);
        for (const TShown& s : gShown) EXPECT_TRUE(s.Visible) << s.Ms;
    }
    QCoreApplication::processEvents(); // what waited goes now, with the window gone
}

} // namespace
