// The loader's one window. Its creation is the whole run: choose the file, read it, find the
// keypad, send the stream with pacing and progress, show one result text. No event loop runs:
// the window is painted only where the run repaints it and while it waits for a keypad that
// another program holds, and takes no input and no request to close while the run lasts.
#pragma once
#include "Dialogs.h"
#include "KeypadProtocol.h"

#include <QWidget>

#include <string>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;

namespace loader {

enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TForm2 : public QWidget {
    Q_OBJECT
public:
    // Params as the program was started: [0] the program's own path, then its arguments.
    explicit TForm2(std::vector<std::string> Params, QWidget* Parent = nullptr);

    // True only once "Done!" was shown; the program's exit status comes from it.
    bool Succeeded() const { return FSucceeded; }
    // The path the run read (arguments joined with single blanks, or the dialog's choice).
    const std::string& Path() const { return FPath; }

    // The dialog border, drawn by the window itself (it has no title bar, and without one the
    // window system gives it no border either), and the client area of 321 x 231 inside it.
    static constexpr int BorderWidth = 3;
    QWidget* ClientArea;
    QLabel* Image1;
    QFrame* Bevel2;
    QLabel* Label6;
    QLabel* lblNoMoveMouse;
    QFrame* Bevel1;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* lblKeypadPort;
    QLabel* lblPort;
    QLabel* Label7;
    QLabel* lblDownloadDelay;
    QFrame* Bevel3;
    QLabel* Label1;
    QLabel* Label2;
    QProgressBar* ProgressBar1;
    TFileDialog FileOpenDialog{TFileDialogKind::Open};

    // The bar's step, as the class library's progress bar keeps it.
    static constexpr int ProgressStep = 4;

    void FormCreate();
    void FormClose(TCloseAction& Action);
    // On failure the download must stop: the failure is shown and the device closed.
    TFailed SendKeypadByte(Byte B);

protected:
    void closeEvent(QCloseEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    void CreateParams();
    void ShowAndRepaint();
    void Repaint();

    std::vector<std::string> FParams;
    std::string FPath;
    bool FSucceeded = false;
    bool FRunning = false;
    bool KeypadFound = false;
    int32_t BytesPerStep = 0;
    int32_t ProgressCounter = 0;
};

} // namespace loader
