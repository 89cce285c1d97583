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

TDeviceLock WaitForDeviceLock(int Fd, const std::function<bool()>& Gone)
{
    for (;;) {
        if (::flock(Fd, gWaitStep ? LOCK_EX | LOCK_NB : LOCK_EX) == 0) return TDeviceLock::Had;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || !gWaitStep) return TDeviceLock::Failed;
        if (!gWaitStep() || (Gone && Gone())) return TDeviceLock::GivenUp;
        ::poll(nullptr, 0, 10);
    }
}
