// The on-screen dialog seam: message boxes and file dialogs as Qt widgets.
#pragma once
#include "Dialogs.h"

#include <QFileDialog>
#include <QMargins>
#include <QPoint>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

class TQtDialogSeam : public TDialogSeam {
public:
    int ShowMessage(const TMessageRequest& Request) override;
    bool ExecuteFileDialog(TFileDialog& Dialog) override;
};

// Installs the on-screen seam; a program calls it once its QApplication exists.
void InstallQtDialogs();

// "Text|*.a;*.b|..." as (description, patterns) pairs: ("Text", "*.a *.b"), ...
std::vector<std::pair<std::string, std::string>> FilterEntries(const std::string& Filter);

// Before a window is shown: while another window of the program that stays on top (the
// start-up question) is on the screen, the window stays on top too, or it would open under
// it, and a modal one could then be neither seen nor answered; otherwise it does not.
void KeepAboveStayOnTopWindows(QWidget& Window);

// Where a top-level window's outer frame has its top left corner, for a frame of these margins.
using TFrameCorner = std::function<QPoint(const QMargins& Frame)>;
// Places a top-level window by its outer frame, before it is shown (or from its show event),
// also partly off the screen. Until the window manager has framed the window, the frame it gave
// another window of the program stands for its own; once framed, the window is placed again
// where it stands otherwise.
void PlaceFrame(QWidget& Window, TFrameCorner Corner);

// Places a top-level window's outer frame in the middle of the primary screen's free area; one
// larger than the area stands at its top or left edge instead. Its size must be final: a box
// that sizes itself when shown is placed after that.
void CentreOnScreen(QWidget& Window);

// The file dialog as the seam shows it. The filter list shows each description exactly as
// given (no patterns appended, blanks kept), and a name typed into it is one name, taken as
// typed: Qt would read double quotes as the bounds of several names.
class TQtFileDialog : public QFileDialog {
    Q_OBJECT
public:
    TQtFileDialog(const TFileDialog& Dialog, QWidget* Parent);
    // After an accepted exec: the full path of the file chosen, and the filter entry shown
    // then (counted from 1).
    QString ChosenFile() const { return FChosen; }
    int ChosenFilterIndex() const;

    void accept() override;

protected:
    void showEvent(QShowEvent* E) override;

private:
    // The typed name as a full path, with the default extension when it has none.
    QString TypedPath() const;
    void UpdateAcceptButton();
    QString FChosen;
    bool FCentred = false;
};
