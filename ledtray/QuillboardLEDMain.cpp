#include "QuillboardLED.h"

int main(int argc, char** argv)
{
    return tray::WinMain(argc, argv);
}
