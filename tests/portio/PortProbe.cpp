// Test equipment: drives one TPortAccess through the steps on its command line and prints what
// each gives, one line a step. Run by the tests as a second process and inside the test guest.
//   open | close | hard 0|1 | in PORT | out PORT VALUE | leave (exit at once, as a crash)
// Writes go only to the virtual keyboard controller, or to real ports inside the test guest
// (kernel command line "quillboard.testguest=1"): never to the ports of a machine running tests.
#include "Kernel.h"
#include "PORT_32.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string FileText(const std::string& Path)
{
    std::ifstream in(Path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Asks the layer about the driver the open device was loaded from: the service database may
// name a driver file other than the one at the usual place. The port instruction (HardAccess
// False) reaches real ports whatever the driver is.
bool WritesAllowed(const TPortAccess& Port)
{
    if (FileText("/proc/cmdline").find("quillboard.testguest=1") != std::string::npos) return true;
    if (!Port.ActiveHW()) return true; // OutPort writes nothing then
    return Port.HardAccess() && DriverDeviceIsSimulated(Port.DriverHandle);
}

unsigned Number(const char* Text)
{
    return static_cast<unsigned>(std::strtoul(Text, nullptr, 0));
}

} // namespace

int main(int argc, char** argv)
{
    auto port = std::make_unique<TPortAccess>(nullptr);
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "open") {
            const bool result = port->OpenAccess();
            std::printf("open %d active %d lptcount %d lptnumber %d wasrunning %d wasinstalled %d\n", result,
                        port->ActiveHW(), port->LPTCount(), port->LPTNumber(), port->ServiceWasRunning,
                        port->ServiceWasInstalled);
        } else if (step == "close") {
            port->CloseAccess();
            std::printf("close active %d\n", port->ActiveHW());
        } else if (step == "hard" && i + 1 < argc) {
            port->SetHardAccess(Number(argv[++i]) != 0);
            std::printf("hard %d\n", port->HardAccess());
        } else if (step == "in" && i + 1 < argc) {
            const unsigned p = Number(argv[++i]);
            std::printf("in 0x%02x 0x%02x\n", p, port->InPort(static_cast<uint16_t>(p)));
        } else if (step == "out" && i + 2 < argc) {
            const unsigned p = Number(argv[i + 1]), v = Number(argv[i + 2]);
            i += 2;
            if (!WritesAllowed(*port)) {
                std::printf("out refused: not the virtual controller or the test guest\n");
                return 3;
            }
            port->OutPort(static_cast<uint16_t>(p), static_cast<Byte>(v));
            std::printf("out 0x%02x 0x%02x\n", p, v);
        } else if (step == "leave") {
            std::fflush(stdout);
            ::_exit(0);
        } else {
            std::fprintf(stderr, "unknown step %s\n", step.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
