// The virtual keypad: a stand-in for the system's HID library (same file name, the hidapi
// functions our layer binds), for tests and for trying the programs without a keypad. It is
// test equipment: nothing of the programs knows about it.
//
// QUILL_VIRTUAL_HID_DEVICES names a text file with one device per line:
//     <vendor hex> <product hex> [option ...]
// Options: "usage=PAGE:USAGE" (hex; the collection's usage, vendor-defined ff00:0001 without
// it; 0001:0006 is a keyboard, which the system holds for itself), and the faults "no-open"
// (cannot be opened), "no-attributes" (its information cannot be read), "feature-fails=K"
// (feature report number K since the device was opened fails), "write-fails=K" (output report
// K fails), "write-short=K" (output report K is taken short).
// Blank lines and lines starting with "#" are ignored. The device of line n (counting
// devices from 0) is "virtual-hid/n"; its path is a file beside the list, "<list>.hidn" (made
// when the device is listed), which stands for the device's node: a program may open and lock
// it as it would a real node. Without the list no device is present.
//
// QUILL_VIRTUAL_HID_LOG names a file to which every open, close and report of a device is
// appended, one line each: milliseconds since the epoch, the device ("virtual-hid/n"), the
// event ("open", "close", "feature" or "output") and, for a report, the bytes taken in hex.
#include "KeypadLog.h"

#include <hidapi/hidapi.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TVirtualDevice {
    unsigned short Vendor = 0;
    unsigned short Product = 0;
    bool NoOpen = false;
    bool NoAttributes = false;
    int FeatureFails = 0; // 0: none
    int WriteFails = 0;
    int WriteShort = 0;
    unsigned short UsagePage = 0xFF00;
    unsigned short Usage = 0x0001;
    std::string Name; // in the log
    std::string Path;
};

std::vector<TVirtualDevice> ReadDevices()
{
    std::vector<TVirtualDevice> devices;
    const char* file = std::getenv("QUILL_VIRTUAL_HID_DEVICES");
    if (!file) return devices;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string vendor, product, fault;
        if (!(words >> vendor) || vendor[0] == '#' || !(words >> product)) continue;
        TVirtualDevice d;
        d.Vendor = static_cast<unsigned short>(std::strtoul(vendor.c_str(), nullptr, 16));
        d.Product = static_cast<unsigned short>(std::strtoul(product.c_str(), nullptr, 16));
        while (words >> fault) {
            auto number = [&](const char* name) {
                size_t n = std::strlen(name);
                return fault.compare(0, n, name) == 0 ? std::atoi(fault.c_str() + n) : 0;
            };
            if (fault == "no-open") d.NoOpen = true;
            if (fault == "no-attributes") d.NoAttributes = true;
            if (int k = number("feature-fails=")) d.FeatureFails = k;
            if (int k = number("write-fails=")) d.WriteFails = k;
            if (int k = number("write-short=")) d.WriteShort = k;
            if (fault.compare(0, 6, "usage=") == 0) {
                char* end = nullptr;
                d.UsagePage = static_cast<unsigned short>(std::strtoul(fault.c_str() + 6, &end, 16));
                if (*end == ':') d.Usage = static_cast<unsigned short>(std::strtoul(end + 1, nullptr, 16));
            }
        }
        d.Name = "virtual-hid/" + std::to_string(devices.size());
        d.Path = std::string(file) + ".hid" + std::to_string(devices.size());
        devices.push_back(d);
    }
    return devices;
}

wchar_t* NoText()
{
    auto* s = static_cast<wchar_t*>(std::calloc(1, sizeof(wchar_t)));
    return s;
}

hid_device_info* NewInfo(const TVirtualDevice& d)
{
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    info->path = strdup(d.Path.c_str());
    info->vendor_id = d.Vendor;
    info->product_id = d.Product;
    info->serial_number = NoText();
    info->release_number = 0x0100;
    info->manufacturer_string = NoText();
    info->product_string = NoText();
    info->usage_page = d.UsagePage;
    info->usage = d.Usage;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
}

void FreeInfo(hid_device_info* info)
{
    if (!info) return;
    std::free(info->path);
    std::free(info->serial_number);
    std::free(info->manufacturer_string);
    std::free(info->product_string);
    std::free(info);
}

void Log(const std::string& Device, const char* Event, const unsigned char* Data = nullptr, size_t Length = 0)
{
    if (const char* file = std::getenv("QUILL_VIRTUAL_HID_LOG")) AppendKeypadLog(file, Device, Event, Data, Length);
}

} // namespace

struct hid_device_ {
    TVirtualDevice Device;
    hid_device_info* Info = nullptr;
    int FeatureReports = 0;
    int OutputReports = 0;
};

extern "C" {

int HID_API_EXPORT hid_init(void)
{
    return 0;
}

int HID_API_EXPORT hid_exit(void)
{
    return 0;
}

hid_device_info HID_API_EXPORT* hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const TVirtualDevice& d : ReadDevices()) {
        if ((vendor_id && vendor_id != d.Vendor) || (product_id && product_id != d.Product)) continue;
        // A device is listed with its node: a path that names nothing would be no device at all.
        if (::access(d.Path.c_str(), F_OK) != 0) {
            const int node = ::open(d.Path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
            if (node >= 0) ::close(node);
        }
        *tail = NewInfo(d);
        tail = &(*tail)->next;
    }
    return head;
}

void HID_API_EXPORT hid_free_enumeration(hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        FreeInfo(devs);
        devs = next;
    }
}

hid_device HID_API_EXPORT* hid_open_path(const char* path)
{
    for (const TVirtualDevice& d : ReadDevices()) {
        if (d.Path != path) continue;
        if (d.NoOpen) return nullptr;
        auto* dev = new hid_device_;
        dev->Device = d;
        Log(d.Name, "open");
        return dev;
    }
    return nullptr;
}

void HID_API_EXPORT hid_close(hid_device* dev)
{
    if (!dev) return;
    Log(dev->Device.Name, "close");
    FreeInfo(dev->Info);
    delete dev; // hidapi's ownership contract: the device lives from hid_open_path to here
}

hid_device_info HID_API_EXPORT* hid_get_device_info(hid_device* dev)
{
    if (!dev || dev->Device.NoAttributes) return nullptr;
    if (!dev->Info) dev->Info = NewInfo(dev->Device);
    return dev->Info;
}

int HID_API_EXPORT hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length)
{
    if (!dev || !data || length == 0) return -1;
    if (++dev->FeatureReports == dev->Device.FeatureFails) return -1;
    Log(dev->Device.Name, "feature", data, length);
    return static_cast<int>(length);
}

#ifndef QUILL_VIRTUAL_HID_NO_GET_FEATURE
// The keypad answers no feature request: the report comes back as its id alone.
int HID_API_EXPORT hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length)
{
    if (!dev || !data || length == 0) return -1;
    return 1;
}
#endif

int HID_API_EXPORT hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    if (!dev || !data || length == 0) return -1;
    ++dev->OutputReports;
    if (dev->OutputReports == dev->Device.WriteFails) return -1;
    if (dev->OutputReports == dev->Device.WriteShort) length = length > 1 ? length - 1 : 0;
    Log(dev->Device.Name, "output", data, length);
    return static_cast<int>(length);
}

const wchar_t HID_API_EXPORT* hid_error(hid_device*)
{
    return L"virtual device";
}

} // extern "C"
