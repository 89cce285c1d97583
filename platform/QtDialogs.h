// The on-screen dialog seam: message boxes and file dialogs as Qt widgets.
#pragma once
#include "Dialogs.h"

class TQtDialogSeam : public TDialogSeam {
public:
    int ShowMessage(const TMessageRequest& Request) override;
    bool ExecuteFileDialog(TFileDialog& Dialog) override;
};

// Installs the on-screen seam; a program calls it once its QApplication exists.
void InstallQtDialogs();

// "Text|*.a;*.b|..." as Qt writes a filter: "Text (*.a *.b);;...".
std::string QtFilterFromPipes(const std::string& Filter);
