#include "DeviceWait.h"

#include <poll.h>
#include <sys/file.h>

#include <cerrno>

namespace {

TDeviceWaitStep gWaitStep = nullptr;

} // namespace

void SetDeviceWaitStep(TDeviceWaitStep Step)
{
    gWaitStep = Step;
}

bool WaitForDeviceLock(int Fd, const std::function<bool()>& Gone)
{
    for (;;) {
        if (::flock(Fd, gWaitStep ? LOCK_EX | LOCK_NB : LOCK_EX) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || !gWaitStep) return false;
        if (!gWaitStep() || (Gone && Gone())) return false;
        ::poll(nullptr, 0, 10);
    }
}
