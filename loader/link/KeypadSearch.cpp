#include "KeypadSearch.h"

#include <cstring>
#include <string>
#include <vector>

namespace loader {

namespace {

// A detail block no larger than this is believed; a path longer than a page is no device.
constexpr uint32_t LargestDetailBlock = 4096;

// The path of one interface, or "" when its detail block cannot be had whole.
std::string InterfacePath(const THidSearchEntryPoints& Calls, HDEVINFO List, const SP_DEVICE_INTERFACE_DATA& Interface)
{
    uint32_t required = 0;
    Calls.SetupDiGetDeviceInterfaceDetailA(List, &Interface, nullptr, 0, &required, nullptr);
    if (required <= SetupDiDetailPathOffset + 1 || required > LargestDetailBlock) return "";
    std::vector<unsigned char> block(required, 0);
    const uint32_t sizeField = SetupDiDetailSizeField;
    std::memcpy(block.data(), &sizeField, sizeof sizeField);
    if (!Calls.SetupDiGetDeviceInterfaceDetailA(
            List, &Interface, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data()), required, nullptr,
            nullptr))
        return "";
    const char* path = reinterpret_cast<const char*>(block.data()) + SetupDiDetailPathOffset;
    return std::string(path, strnlen(path, required - SetupDiDetailPathOffset));
}

} // namespace

HANDLE SearchKeypadInterface(const THidSearchEntryPoints& Calls, uint16_t VendorId, uint16_t ProductId,
                             uint32_t DesiredAccess)
{
    GUID hidGuid{};
    Calls.HidD_GetHidGuid(&hidGuid);
    HDEVINFO list = Calls.SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    HANDLE found = nullptr;
    SP_DEVICE_INTERFACE_DATA interface{};
    interface.cbSize = sizeof interface;
    for (uint32_t index = 0; !found && Calls.SetupDiEnumDeviceInterfaces(list, nullptr, &hidGuid, index, &interface);
         ++index) {
        const std::string path = InterfacePath(Calls, list, interface);
        if (path.empty()) continue;
        HANDLE device =
            CreateFileA(path, DesiredAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        // A device that did not open or cannot be read does not match, whatever ids are wanted.
        if (Calls.HidD_GetAttributes(device, &attributes) && attributes.VendorID == VendorId &&
            attributes.ProductID == ProductId)
            found = device;
        else
            CloseHandle(device);
    }
    Calls.SetupDiDestroyDeviceInfoList(list);
    return found;
}

} // namespace loader
