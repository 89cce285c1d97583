// The Qt application as the programs make it: the command line Qt is given, and the font of
// their windows.
#pragma once
#include <QFont>

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

// The windows' font: in place of the class library's "MS Sans Serif" of height -11, Liberation
// Sans of 11 pixels, near the widths the windows' places were measured for, and the same on a
// screen and headless.
QFont FormFont();
