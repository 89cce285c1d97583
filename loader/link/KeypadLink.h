// The keypad link both senders use: the identities a keypad is known by and the one way a
// byte reaches a keypad of the feature-report identity. The search is in KeypadSearch, the
// bytes themselves in KeypadProtocol.
#pragma once
#include "Devices.h"
#include "Hid.h"
#include "KeypadProtocol.h"
#include "KeypadSearch.h"

#include <cstdint>

namespace loader {

struct TKeypadIdentity {
    uint16_t VendorId;
    uint16_t ProductId;
    friend constexpr bool operator==(const TKeypadIdentity&, const TKeypadIdentity&) = default;
};

// The selector of the loader's keypad, the one identity both programs look for.
constexpr Byte kpFeatureReport = 1;
constexpr TKeypadIdentity FeatureReportKeypad = {0x16C0, 0x0607};

// One KeypadFeatureReport carrying B through SetFeature (none bound counts as not sent), then
// 10 ms whatever the result, so the keypad has taken the byte before the next one comes.
// True when the report was sent.
bool SendFeatureReport(THidD_SetFeature SetFeature, HANDLE Device, Byte B);

} // namespace loader
