// The command line that Qt is given when a program makes its QApplication.
#pragma once

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
