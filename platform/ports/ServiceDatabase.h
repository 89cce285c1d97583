// Inside the layer: the service database's text, as "SERVICES.INI" holds it. One block a
// service, in the order they were created, each followed by an empty line:
//     [PORTACC]
//     DisplayName=PORTACC
//     Type=1                  a kernel driver, the only type recorded
//     Start=3
//     ErrorControl=1
//     ImagePath=SYSTEM32/DRIVERS/PORTACC.SYS
//     State=1                 1 stopped, 4 running
//     DeletePending=0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TService {
    std::string Name;
    std::string DisplayName;
    uint32_t Type = 0;
    uint32_t Start = 0;
    uint32_t ErrorControl = 0;
    std::string ImagePath;
    uint32_t State = 0;
    bool DeletePending = false;
};

// The whole entries of Text, in order. An entry that lacks one of the keys or holds a value
// that WriteServiceDatabase never writes (a type other than a kernel driver, a state other
// than stopped or running, a number with anything but decimal digits, an empty image path)
// is damaged, by a cut or a hand, and left out as if absent: a service that cannot be trusted
// is installed afresh rather than refused for good. Lines outside the blocks are ignored.
std::vector<TService> ReadServiceDatabase(const std::string& Text);

// The text of Services, each value on one line (the caller keeps control characters out).
std::string WriteServiceDatabase(const std::vector<TService>& Services);
