#include "SplashForm.h"

int main(int argc, char** argv)
{
    return loader::WinMain(argc, argv);
}
