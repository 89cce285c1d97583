#include "Hid.h"

#include "HidApiBinding.h"

#include <cstring>

namespace {
// The class identifier the platform gives HID interfaces: any fixed value does, since only
// our own SetupDi* functions compare it.
constexpr GUID HidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
} // namespace

bool operator==(const GUID& A, const GUID& B)
{
    return std::memcmp(&A, &B, sizeof(GUID)) == 0;
}

void HidD_GetHidGuid(GUID* Guid)
{
    const THidApi& hid = BoundHidApi();
    if (hid.Init) hid.Init();
    if (Guid) *Guid = HidGuid;
}

bool HidD_GetAttributes(HANDLE HidDeviceObject, HIDD_ATTRIBUTES* Attributes)
{
    const THidApi& hid = BoundHidApi();
    hid_device* dev = HidDeviceOfHandle(HidDeviceObject);
    if (!Attributes || Attributes->Size != sizeof(HIDD_ATTRIBUTES) || !dev || !hid.GetDeviceInfo) return false;
    hid_device_info* info = hid.GetDeviceInfo(dev);
    if (!info) return false;
    Attributes->VendorID = info->vendor_id;
    Attributes->ProductID = info->product_id;
    Attributes->VersionNumber = info->release_number;
    return true;
}

bool HidD_SetFeature(HANDLE HidDeviceObject, void* ReportBuffer, uint32_t ReportBufferLength)
{
    if (!ReportBuffer || ReportBufferLength == 0 || !BoundHidApi().SendFeatureReport) return false;
    hid_device* dev = HeldHidDeviceOfHandle(HidDeviceObject);
    // Read after the hold: what a wait step ran may have changed the binding.
    const THidApi& hid = BoundHidApi();
    if (!dev || !hid.SendFeatureReport) return false;
    int sent = hid.SendFeatureReport(dev, static_cast<const unsigned char*>(ReportBuffer), ReportBufferLength);
    return sent == static_cast<int>(ReportBufferLength);
}

bool HidD_GetFeature(HANDLE HidDeviceObject, void* ReportBuffer, uint32_t ReportBufferLength)
{
    if (!ReportBuffer || ReportBufferLength == 0 || !BoundHidApi().GetFeatureReport) return false;
    hid_device* dev = HeldHidDeviceOfHandle(HidDeviceObject);
    const THidApi& hid = BoundHidApi();
    if (!dev || !hid.GetFeatureReport) return false;
    return hid.GetFeatureReport(dev, static_cast<unsigned char*>(ReportBuffer), ReportBufferLength) >= 0;
}
