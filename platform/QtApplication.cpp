#include "QtApplication.h"

namespace {
char FallbackName[] = "quillboard";
}

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}

QFont FormFont()
{
    static const bool substituted = [] {
        QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
        return true;
    }();
    (void)substituted;
    QFont f("MS Sans Serif");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}
