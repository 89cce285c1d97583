// The HID library linked with the program: the dynamic linker binds hidapi's functions when
// the program is loaded, so a program linking this unit does not start where the library is
// missing. Whatever "libhidapi-hidraw.so.0" the dynamic linker finds serves it.
#include "HidApiBinding.h"

namespace {

const THidApi LinkedHidApi = {
    &hid_init,
    &hid_enumerate,
    &hid_free_enumeration,
    &hid_open_path,
    &hid_close,
    &hid_send_feature_report,
    &hid_get_feature_report,
    &hid_get_device_info,
    &hid_write,
};

// Nothing of the program refers to this unit: the build keeps it whole (WHOLE_ARCHIVE).
const bool Linked = (LinkHidApi(LinkedHidApi), true);

} // namespace
