#include "KeypadLink.h"

namespace loader {

bool SendFeatureReport(THidD_SetFeature SetFeature, HANDLE Device, Byte B)
{
    TKeypadFeatureReport report = KeypadFeatureReport(B);
    const bool sent = SetFeature && SetFeature(Device, report.data(), report.size());
    Sleep(10);
    return sent;
}

} // namespace loader
