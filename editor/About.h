// The About box: the program's name line and its version, read from the version block of
// the running program's own file. Made, shown and freed at each use.
#pragma once
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>

#include <string>

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* Parent = nullptr);

    QFrame* Panel1;
    QLabel* imgLogo;
    QLabel* lblProduct;
    QLabel* lblVersion;
    QLabel* lblCopyright;
    QPushButton* btnOk;

public slots:
    void FormCreate();
    void btnOkClick();

private:
    // The first five characters of the program file's FileVersion, or "NA".
    std::string FileVersionText();
};

// Where a box of outer size Box goes to stand centred on a window whose outer frame is Main
// (halves rounded toward zero); it may lie partly off the screen.
QPoint CentredOn(const QRect& Main, const QSize& Box);

// The main window's About command: a new box without owner, centred on CentreOn by outer
// sizes, shown modally and freed when it closes.
void ShowAboutBox(const QWidget& CentreOn);
