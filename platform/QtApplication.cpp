#include "QtApplication.h"

namespace {
char FallbackName[] = "quillboard";
}

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}
