// Preloaded into a Qt program, prints every label text the program sets to standard error,
// one line each: "label <object name>: <text>". A program run without a screen (Qt's
// offscreen platform) thus still shows a test what the user would read.
#include <QLabel>

#include <dlfcn.h>

#include <cstdio>

void QLabel::setText(const QString& Text)
{
    using TSetText = void (*)(QLabel*, const QString&);
    static const auto real = reinterpret_cast<TSetText>(dlsym(RTLD_NEXT, "_ZN6QLabel7setTextERK7QString"));
    std::fprintf(stderr, "label %s: %s\n", qUtf8Printable(objectName()), qUtf8Printable(Text));
    real(this, Text);
}
