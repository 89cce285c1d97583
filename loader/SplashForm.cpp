#include "SplashForm.h"

#include "DefinitionReader.h"
#include "Devices.h"
#include "Forms.h"
#include "HidTransport.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "SysUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QDeadlineTimer>
#include <QWindow>
#include <qdrawutil.h>

namespace loader {

namespace {

const char* const VersionText = "5.50";

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QRect& Box, const char* Text, bool Bold = false)
{
    auto* l = new QLabel(QString::fromUtf8(Text), Parent);
    l->setObjectName(Name);
    l->setGeometry(Box);
    // A caption grows to the right with its text, as the class library's auto-sized labels do.
    l->setMinimumWidth(Box.width());
    QFont f = l->font();
    f.setBold(Bold);
    l->setFont(f);
    l->adjustSize();
    return l;
}

QFrame* MakeBevel(QWidget* Parent, const char* Name, const QRect& Box)
{
    auto* b = new TFrame(Parent);
    b->setObjectName(Name);
    b->setGeometry(Box);
    b->setFrameStyle(QFrame::Box | QFrame::Raised);
    b->lower();
    return b;
}

void SetText(QLabel* Label, const std::string& Text)
{
    Label->setText(QString::fromStdString(Text));
    Label->adjustSize();
}

QPixmap Picture()
{
    QPixmap p = ScreenPicture(201, 57);
    p.fill(Qt::white);
    QPainter painter(&p);
    QFont f("Sans Serif");
    f.setPixelSize(26);
    f.setBold(true);
    painter.setFont(f);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(QRect(0, 0, 201, 57), Qt::AlignCenter, "Quillboard");
    return p;
}

} // namespace

TForm2::TForm2(std::vector<std::string> Params, QWidget* Parent) : QWidget(Parent), FParams(std::move(Params))
{
    setObjectName("Form2");
    setWindowTitle("Keyburn - USB/PS2 Keypad Programmer");
    CreateParams();
    setFixedSize(321 + 2 * BorderWidth, 231 + 2 * BorderWidth);
    setFont(FormFont());
    ClientArea = new QWidget(this);
    ClientArea->setObjectName("ClientArea");
    ClientArea->setGeometry(BorderWidth, BorderWidth, 321, 231);
    ClientArea->setAutoFillBackground(true);
    QPalette pal = ClientArea->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    ClientArea->setPalette(pal);
    QWidget* const client = ClientArea;

    Bevel2 = MakeBevel(client, "Bevel2", {8, 4, 305, 65});
    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setGeometry(60, 8, 201, 57);
    Image1->setPixmap(Picture());
    Label6 = MakeLabel(client, "Label6", {95, 72, 125, 13}, "Keyburn59x - Version x.yz");
    Label6->setAlignment(Qt::AlignHCenter);
    lblNoMoveMouse = MakeLabel(client, "lblNoMoveMouse", {43, 90, 232, 13}, "Do not move the mouse during download", true);
    QPalette blue = lblNoMoveMouse->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    lblNoMoveMouse->setPalette(blue);
    lblNoMoveMouse->hide();
    Bevel1 = MakeBevel(client, "Bevel1", {8, 112, 305, 57});
    Label4 = MakeLabel(client, "Label4", {16, 118, 58, 13}, "Keypad File:");
    Label5 = MakeLabel(client, "Label5", {120, 118, 9, 13}, "--", true);
    lblKeypadPort = MakeLabel(client, "lblKeypadPort", {16, 134, 64, 13}, "Keypad Port: ");
    lblPort = MakeLabel(client, "lblPort", {120, 134, 9, 13}, "--", true);
    Label7 = MakeLabel(client, "Label7", {16, 150, 81, 13}, "Download Delay:");
    lblDownloadDelay = MakeLabel(client, "lblDownloadDelay", {120, 150, 9, 13}, "--", true);
    Bevel3 = MakeBevel(client, "Bevel3", {8, 176, 305, 50});
    Label1 = MakeLabel(client, "Label1", {16, 184, 98, 13}, "Download  Progress:");
    Label2 = MakeLabel(client, "Label2", {120, 184, 9, 13}, "  ", true);
    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(16, 200, 289, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    FileOpenDialog.Filter = "Keypad Files (*.ckd)|*.ckd|All Files (*.*)|*.*";
    FileOpenDialog.Title = "Keyburn - Choose Keypad File";
    // Placed like the window itself, which it covers.
    FileOpenDialog.CenterOnScreen = true;

    CentreOnScreen(*this);

    FormCreate();
}

void TForm2::CreateParams()
{
    // No title bar: the window is a splash the user cannot move or close during a download.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

namespace {

// While the run paints its window, only the window system's notices (what is uncovered,
// where the window is) and painting are handled. Queued calls, timers and input never act:
// no loop will ever run them, as the window gets no input during the run.
class TPaintOnly : public QObject {
public:
    TPaintOnly() { QCoreApplication::instance()->installEventFilter(this); }
    ~TPaintOnly() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* E) override
    {
        return E->isInputEvent() || E->type() == QEvent::MetaCall || E->type() == QEvent::Timer;
    }
};

constexpr QEventLoop::ProcessEventsFlags PaintOnlyFlags =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;

// What the window system told since the last call (what another window uncovered, where the
// window is) is handled, and what it uncovered painted: at each repaint of the run, and while
// the run waits for a keypad that another program holds, which may last.
void HandleWindowNotices()
{
    TPaintOnly paintOnly;
    QCoreApplication::processEvents(PaintOnlyFlags);
}

} // namespace

void TForm2::Repaint()
{
    TPaintOnly paintOnly;
    // A window is painted only once the window system shows it, so the first paint waits for
    // that.
    if (QWindow* w = windowHandle()) {
        QDeadlineTimer shown(1000);
        while (!w->isExposed() && !shown.hasExpired())
            QCoreApplication::processEvents(PaintOnlyFlags, 20);
    }
    // What another window uncovered since the last paint is drawn again with the changes.
    HandleWindowNotices();
    repaint();
}

void TForm2::ShowAndRepaint()
{
    show();
    Repaint();
}

void TForm2::FormCreate()
{
    FRunning = true;
    struct TRunEnd {
        bool& Running;
        ~TRunEnd()
        {
            Running = false;
            SetDeviceWaitStep(nullptr);
        }
    } runEnd{FRunning};
    SetDeviceWaitStep([] {
        HandleWindowNotices();
        return true;
    });
    SetText(Label6, std::string("Keyburn591 - Version ") + VersionText);
    if (FParams.size() > 1) {
        // A path given unquoted arrives split at its blanks (the editor quotes the one it passes).
        FPath = FParams[1];
        for (size_t k = 2; k < FParams.size(); ++k) FPath += " " + FParams[k];
    } else {
        ShowAndRepaint();
        FileOpenDialog.InitialDir = ExtractFilePath(FParams.empty() ? "" : FParams[0]) + "Macro Files";
        if (!FileOpenDialog.Execute()) {
            SetText(Label5, "Error -- No keypad file specified!");
            ShowAndRepaint();
            Sleep(3500);
            return;
        }
        FPath = FileOpenDialog.FileName;
    }
    SetText(Label5, ExtractFileName(FPath));
    ShowAndRepaint();

    if (ReadKeypadFile(FPath) != 0) {
        SetText(Label2, "Error -- Bad or missing keypad file!");
        ShowAndRepaint();
        Sleep(3500);
        return;
    }
    SetText(lblDownloadDelay, IntToStr(DownloadDelay) + "ms");
    SetText(lblPort, "USB (5.1+)");
    Repaint();

    SelectDeviceIds(kpFeatureReport);
    KeypadFound = FindKeypadDevice();
    if (!KeypadFound) {
        SetText(Label2, "Keypad or driver not found!");
        Repaint();
        Sleep(3500);
        return;
    }
    BytesPerStep = (ProgressTotal + 24) / 25;
    ProgressCounter = 0;
    for (Byte b : DownloadStream())
        if (SendKeypadByte(b)) return;

    ProgressBar1->setValue(100);
    SetText(Label2, "Done!");
    CloseKeypadDevice();
    Repaint();
    Sleep(500);
    FSucceeded = true;
}

TFailed TForm2::SendKeypadByte(Byte B)
{
    if (SendFeatureByte(B)) {
        SetText(Label2, "Keypad send timeout!");
        ShowAndRepaint();
        Sleep(3500);
        CloseKeypadDevice();
        return true;
    }
    // A negative delay from a hand-edited file gives no pause rather than an endless one.
    if (DownloadDelay > 0) Sleep(static_cast<uint32_t>(DownloadDelay));
    if (++ProgressCounter < BytesPerStep) return false;
    ProgressCounter = 0;
    if (ProgressBar1->value() < 99) {
        ProgressBar1->setValue(std::min(ProgressBar1->value() + ProgressStep, 100));
        Repaint();
        Sleep(25);
    }
    return false;
}

void TForm2::FormClose(TCloseAction& Action)
{
    Action = caFree;
}

void TForm2::closeEvent(QCloseEvent* Event)
{
    // The run ends the process when it returns; until then the window stays.
    if (FRunning) {
        Event->ignore();
        return;
    }
    TCloseAction action = caHide;
    FormClose(action);
    // The form's owner frees it when the run returns; closing only takes it off the screen.
    Event->accept();
}

void TForm2::paintEvent(QPaintEvent*)
{
    // The platform's dialog frame: a raised edge of two lines and one of the button face.
    QPainter p(this);
    const QPalette frame = QApplication::palette();
    p.fillRect(rect(), frame.color(QPalette::Button));
    qDrawWinPanel(&p, rect(), frame, false);
}

} // namespace loader
