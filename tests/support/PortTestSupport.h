// What the port tests put behind the layer's seams: a test Windows folder with the virtual
// keyboard controller, every driver request as the driver saw it, the pauses, the processor's
// port instructions and the administrator rule.
#pragma once
#include "Devices.h"
#include "Kernel.h"
#include "KernelDrivers.h"
#include "PortIo.h"
#include "Services.h"
#include "WindowsFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

struct TDriverCall {
    uint32_t Code;
    std::array<uint8_t, 48> Request; // as the driver received it
    std::array<uint8_t, 48> Reply;
    bool Taken;
};

class TPortTest : public ::testing::Test {
protected:
    TPortTest();
    ~TPortTest() override;

    // The driver file's description lines (after the "driver" line).
    void Describe(const std::string& Description) const;
    uint32_t Field(const std::array<uint8_t, 48>& B, size_t At) const;
    // The requests since the last call.
    std::vector<TDriverCall> TakeCalls();
    int TakePauses();
    // The one service's state in the database: "none", "stopped" or "running".
    std::string ServiceState() const;
    // Installs the service (and starts it) as an earlier run would have left it.
    void LeaveService(bool Running) const;

    TTestWindowsFolder Windows;
    std::vector<TDriverCall> Calls;
    std::vector<uint32_t> Pauses;
};
