// Test programs on the X11 desktop, one file by the name it is started under:
//   Tapcheck                            the key-test program's stand-in: a window titled
//                                       "Tapcheck"; each start appends a line to $TAPCHECK_LOG
//   ledtray_x11_helper post WINDOW MSG WPARAM LPARAM...
//                                       posts through the layer to WINDOW, a title or a window
//                                       id "0x...", one message for each LPARAM, and prints
//                                       when the last went (ms since the epoch); exit 0
//                                       posted, 1 no such window, 2 refused
//   ledtray_x11_helper grab FILE [W H]  the screen (its top-left W x H) into the PNG FILE
#include "Messages.h"
#include "QtApplication.h"
#include "QtMessageLoop.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

uint32_t Number(const char* Text)
{
    return static_cast<uint32_t>(std::strtoul(Text, nullptr, 0));
}

int Tapcheck(QApplication& App)
{
    if (const char* log = std::getenv("TAPCHECK_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "started %d\n", static_cast<int>(getpid()));
            std::fclose(f);
        }
    }
    QWidget window;
    window.setWindowTitle("Tapcheck");
    window.resize(320, 200);
    window.show();
    return App.exec();
}

int Post(int Count, char** Args)
{
    const std::string target = Args[0];
    const HWND wnd = target.rfind("0x", 0) == 0 ? Number(Args[0]) : FindWindowA(nullptr, target);
    if (wnd == 0) return 1;
    for (int i = 3; i < Count; ++i)
        if (!PostMessageA(wnd, Number(Args[1]), Number(Args[2]), static_cast<LPARAM>(Number(Args[i])))) return 2;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
    return 0;
}

int Grab(const char* File, int Width, int Height)
{
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, Width, Height);
    return screen.save(QString::fromLocal8Bit(File), "PNG") ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TPooledThreads pooledThreads;
    InstallQtMessageLoop();
    const char* name = std::strrchr(argv[0], '/');
    if (std::strcmp(name ? name + 1 : argv[0], "Tapcheck") == 0) return Tapcheck(app);
    if (argc >= 6 && std::strcmp(argv[1], "post") == 0) return Post(argc - 2, argv + 2);
    if ((argc == 3 || argc == 5) && std::strcmp(argv[1], "grab") == 0)
        return Grab(argv[2], argc == 5 ? std::atoi(argv[3]) : -1, argc == 5 ? std::atoi(argv[4]) : -1);
    std::fprintf(stderr, "usage: %s post WINDOW MSG WPARAM LPARAM... | grab FILE [W H]\n", argv[0]);
    return 64;
}
