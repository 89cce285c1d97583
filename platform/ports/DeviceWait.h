// Waiting for a device that another program holds. A device carries the work of one program
// at a time, across processes: the holder keeps an exclusive lock (flock) on a file that stands
// for the device (a HID device's node, Devices.h; a kernel driver's lock file, Kernel.h), and
// the system lets go of it when the holding process ends. Whoever comes second waits, the same
// way for every device.
#pragma once
#include <functional>

// While it waits the thread blocks, unless the program has set a wait step: that then runs
// about every 10 ms (a program whose windows must keep answering runs its waiting messages
// there), and false from it ends the wait without the lock (the program is ending: the holder
// may never let go). nullptr restores blocking.
using TDeviceWaitStep = bool (*)();
void SetDeviceWaitStep(TDeviceWaitStep Step);

// Inside the layer: locks Fd, waiting while another open file holds its lock. Gone, asked
// after each wait step, ends the wait when what the step ran has made it pointless.
enum class TDeviceLock {
    Had,
    GivenUp, // the wait step's false, or Gone
    Failed,  // an error other than a held lock
};
TDeviceLock WaitForDeviceLock(int Fd, const std::function<bool()>& Gone = {});
