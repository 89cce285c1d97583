// uhid_keypad LOG DEVICE...: keypads made through the kernel's /dev/uhid, for a test guest. Each
// DEVICE is "<vendor hex> <product hex> [feature-fails=K]", as in the virtual keypad's device
// list; device n (from 0) is "uhid/n" in the log. The feature-report identity 16C0:0607 gets a
// 5-byte feature report, the output-report identity 04B4:0A0A a 3-byte output report, each in
// a vendor-defined collection (so the kernel keeps no device open for its own input). Every
// set-report request is answered, as a keypad would, except feature report K since the device
// was last opened, which is refused. Each event is appended to LOG in the virtual keypad's
// format: milliseconds since the epoch, the device, "open", "close", "feature", "output" or
// "refused", and a report's bytes in hex. Runs until SIGTERM or SIGINT, then removes its devices.
#include "KeypadLog.h"

#include <linux/uhid.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Usage page 0xFF00, usage 1, one application collection with bytes 0..255.
const std::vector<uint8_t> FeatureDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26,
                                                0xFF, 0x00, 0x75, 0x08, 0x95, 0x05, 0x09, 0x01, 0xB1, 0x02, 0xC0};
const std::vector<uint8_t> OutputDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26,
                                               0xFF, 0x00, 0x75, 0x08, 0x95, 0x03, 0x09, 0x01, 0x91, 0x02, 0xC0};

struct TKeypad {
    int Fd = -1;
    std::string Name;
    unsigned Vendor = 0, Product = 0;
    int FeatureFails = 0; // 0: none
    int FeatureReports = 0;
};

volatile sig_atomic_t gStop = 0;
const char* gLog = nullptr;

void Log(const TKeypad& K, const char* Event, const uint8_t* Data = nullptr, size_t Length = 0)
{
    AppendKeypadLog(gLog, K.Name, Event, Data, Length);
}

bool Send(const TKeypad& K, const uhid_event& Event)
{
    return write(K.Fd, &Event, sizeof Event) == static_cast<ssize_t>(sizeof Event);
}

bool Create(TKeypad& K)
{
    const std::vector<uint8_t>& descriptor = K.Vendor == 0x04B4 ? OutputDescriptor : FeatureDescriptor;
    K.Fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (K.Fd < 0) return false;
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(ev.u.create2.name), sizeof ev.u.create2.name, "Quillboard test %s", K.Name.c_str());
    ev.u.create2.rd_size = static_cast<uint16_t>(descriptor.size());
    ev.u.create2.bus = 0x03; // USB, as the keypad is
    ev.u.create2.vendor = K.Vendor;
    ev.u.create2.product = K.Product;
    ev.u.create2.version = 0x0100;
    std::memcpy(ev.u.create2.rd_data, descriptor.data(), descriptor.size());
    return Send(K, ev);
}

void Answer(TKeypad& K)
{
    uhid_event ev{};
    if (read(K.Fd, &ev, sizeof ev) <= 0) return;
    uhid_event reply{};
    switch (ev.type) {
    case UHID_OPEN:
        K.FeatureReports = 0;
        Log(K, "open");
        break;
    case UHID_CLOSE:
        Log(K, "close");
        break;
    case UHID_OUTPUT:
        Log(K, "output", ev.u.output.data, ev.u.output.size);
        break;
    case UHID_SET_REPORT: {
        const bool refused = ev.u.set_report.rtype == UHID_FEATURE_REPORT && ++K.FeatureReports == K.FeatureFails;
        Log(K, refused ? "refused" : ev.u.set_report.rtype == UHID_FEATURE_REPORT ? "feature" : "output",
            ev.u.set_report.data, ev.u.set_report.size);
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = ev.u.set_report.id;
        reply.u.set_report_reply.err = refused ? EIO : 0;
        Send(K, reply);
        break;
    }
    case UHID_GET_REPORT:
        // The keypad has nothing to tell; refusing at once spares the kernel its wait.
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = ev.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        Send(K, reply);
        break;
    default:
        break;
    }
}

void Stop(int)
{
    gStop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: uhid_keypad LOG \"VENDOR PRODUCT [feature-fails=K]\"...\n");
        return 2;
    }
    gLog = argv[1];
    std::vector<TKeypad> keypads;
    for (int i = 2; i < argc; ++i) {
        TKeypad k;
        k.Name = "uhid/" + std::to_string(i - 2);
        std::istringstream words(argv[i]);
        std::string vendor, product, option;
        words >> vendor >> product;
        k.Vendor = unsigned(std::strtoul(vendor.c_str(), nullptr, 16));
        k.Product = unsigned(std::strtoul(product.c_str(), nullptr, 16));
        while (words >> option)
            if (option.rfind("feature-fails=", 0) == 0) k.FeatureFails = std::atoi(option.c_str() + 14);
        if (!Create(k)) {
            std::perror("uhid_keypad: /dev/uhid");
            return 1;
        }
        keypads.push_back(k);
    }
    struct sigaction sa{};
    sa.sa_handler = Stop; // no SA_RESTART: the wait below must end
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::vector<pollfd> fds;
    for (const TKeypad& k : keypads) fds.push_back({k.Fd, POLLIN, 0});
    while (!gStop) {
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        for (size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents & POLLIN) Answer(keypads[i]);
    }
    for (const TKeypad& k : keypads) {
        uhid_event ev{};
        ev.type = UHID_DESTROY;
        Send(k, ev);
        close(k.Fd);
    }
    return 0;
}
