// tray_command_probe COMMAND: one tray command (a hex command byte) through the tray's
// transport with the system's HID library and no PS/2 link; prints "command <hex> <result>".
#include "Transport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const auto command = static_cast<Byte>(std::strtoul(argv[1], nullptr, 16));
    const bool reached = SendKeypadCommand(command);
    std::printf("command %02x %d\n", command, reached ? 1 : 0);
    return reached ? 0 : 1;
}
