// platform_qt stands in for the platform's windowing side over Qt: dialogs, the application,
// the message loop, menus, the notification area and the desktop (X11). It uses platform_core.
//
// The Qt application as the programs make it: the command line Qt is given, what happens when
// there is no display to show windows on, the font of their windows and what keeps their
// pictures and frames sharp and whole on a scaled desktop.
#pragma once
#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QPixmap>

// The program's name alone: no argument of the user's reaches Qt, where "-platform",
// "-reverse", "-style" and the like would be read as Qt's own options (and a file named so,
// or a piece of a path split at its blanks, be taken away or abort the program). Lives as
// long as the QApplication made from it.
class TQtArguments {
public:
    explicit TQtArguments(char* ProgramName);
    int Count = 1;
    char* Values[2];
};

// Made before Qt's application and outliving it: its arguments, and a watch on what Qt
// reports while it connects to the display.
class TQtApplicationStart {
protected:
    explicit TQtApplicationStart(char* ProgramName);
    void Started();
    TQtArguments FArguments;
};

// Each program's one application. Where the display cannot be opened (none named, or no
// server there) the program ends with status 1 after one line on standard error, such as
// "Keyburn591: cannot open X display ":99"", instead of Qt's abort. Its font is FormFont, so the
// boxes and menus of every program have the face of their windows.
class TQtApplication : private TQtApplicationStart, public QApplication {
public:
    explicit TQtApplication(char* ProgramName);
};

// The windows' font: in place of the class library's "MS Sans Serif" of height -11, Liberation
// Sans of 11 pixels, near the widths the windows' places were measured for, and the same on a
// screen and headless.
QFont FormFont();

// A transparent picture of Width x Height of the windows' pixels, made at the screens' device
// pixel ratio (Qt scales windows by the desktop's scale): what is drawn into it in window
// pixels stays sharp, where a picture of one pixel per window pixel would be stretched.
QPixmap ScreenPicture(int Width, int Height);

// The part of a widget, from its top left corner, whose frame is drawn whole on a desktop
// scaled by a fraction. Qt draws a widget from its exact place in screen pixels at its size
// rounded, but gives it the screen pixels between its edges rounded: at 125 % one fewer at some
// places and sizes, and a bottom or right line drawn in that last one is lost. There the part is
// one window pixel shorter; elsewhere it is the whole widget.
QRect WholeRect(const QWidget& W);

// A frame or line (a bevel, a panel, a tool bar's gap) drawn in its WholeRect.
class TFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* E) override;
};

// Ends Qt's pooled threads (the raster engine starts them for large fills) before the
// QApplication goes. Qt's own ending of them returns while each thread still has its
// thread-exit handlers to run, which release its thread data; one still in them as the program
// ends leaves that behind. So this also waits until the system has ended each one.
void EndPooledThreads();

// Calls EndPooledThreads when it goes: made right after the QApplication, it goes after the
// program's windows and before the application.
class TPooledThreads {
public:
    TPooledThreads() = default;
    TPooledThreads(const TPooledThreads&) = delete;
    TPooledThreads& operator=(const TPooledThreads&) = delete;
    ~TPooledThreads() { EndPooledThreads(); }
};
