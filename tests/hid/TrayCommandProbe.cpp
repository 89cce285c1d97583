// tray_command_probe [--ps2] COMMAND: one tray command (a hex command byte) through the tray's
// transport with the system's HID library; prints "command <hex> <result>". Without --ps2 it
// has no PS/2 link; with it, the tray's port component is there, and only a simulated port
// driver (the virtual keyboard controller) is ever loaded: no real port is written.
#include "KernelDrivers.h"
#include "Kernel.h"
#include "PORT_32.h"
#include "Transport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace tray;

int main(int argc, char** argv)
{
    const bool ps2 = argc == 3 && std::strcmp(argv[1], "--ps2") == 0;
    if (argc != 2 && !ps2) return 2;
    std::unique_ptr<TPortAccess> port;
    if (ps2) {
        SetDriverLoaderSeam([](const std::string& File, TDriverLoad How, uint32_t& Error) {
            auto driver = LoadDriverFile(File, How, Error);
            if (driver && !driver->Simulated()) {
                Error = ERROR_ACCESS_DENIED;
                driver.reset();
            }
            return driver;
        });
        port = std::make_unique<TPortAccess>(nullptr);
        KeyPort = port.get();
    }
    const auto command = static_cast<Byte>(std::strtoul(argv[argc - 1], nullptr, 16));
    const bool reached = SendKeypadCommand(command);
    std::printf("command %02x %d\n", command, reached ? 1 : 0);
    return reached ? 0 : 1;
}
