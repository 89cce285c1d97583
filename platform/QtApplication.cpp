#include "QtApplication.h"

namespace {
char FallbackName[] = "quillboard";
}

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}

QFont FormFont()
{
    // Named directly: asking for "MS Sans Serif" first would send every start through the
    // font system's search for a family that is not there.
    QFont f("Liberation Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}
