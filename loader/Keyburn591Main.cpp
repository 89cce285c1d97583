#include "Keyburn591.h"

int main(int argc, char** argv)
{
    return loader::WinMain(argc, argv);
}
