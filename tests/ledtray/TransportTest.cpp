#include "Transport.h"

#include "Devices.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using Pauses = std::vector<uint32_t>;

// The virtual keypad's log in short: "open 1", "output 1 00 e4 e4 e4", "close 1".
Lines Log(const TVirtualKeypad& Keypad)
{
    Lines out;
    for (const TLoggedReport& e : Keypad.Events()) {
        out.push_back(e.Event + " " + e.Device.substr(e.Device.rfind('/') + 1) + HexBytes(e.Bytes));
    }
    return out;
}

class TransportTest : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    TRecordedPauses Recorded;
    void SetUp() override { KeyPort = nullptr; }
    void Attach(const std::string& Devices)
    {
        Keypad.SetDevices(Devices);
        std::remove(Keypad.LogFile().c_str());
    }
};

struct TCommandRow {
    const char* Name;
    const char* Devices;
    bool Result;
    Lines Log;
    Pauses Paused;
};

// Every row sends kcLEDOn (0x05); no PS/2 link is there.
TEST_F(TransportTest, CommandGoesToTheFirstKeypadReachedAndEveryOpenedDeviceIsClosed)
{
    const TCommandRow rows[] = {
        {"both identities: only the output-report keypad receives, no pause", "16c0 0607\n04b4 0a0a\n", true,
         {"open 0", "close 0", "open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"only the feature-report keypad: the first search opens every interface", "04b4 0a0b\n16c0 0607\n", true,
         {"open 0", "close 0", "open 1", "close 1", "open 0", "close 0", "open 1", "feature 1 00 01 e4 00 00 00",
          "feature 1 00 01 05 00 00 00", "close 1"},
         {10, 10}},
        {"a keyboard collection refuses reading and writing, not the feature reports",
         "16c0 0607 usage=0001:0006\n", true,
         {"open 0", "feature 0 00 01 e4 00 00 00", "feature 0 00 01 05 00 00 00", "close 0"}, {10, 10}},
        {"an output-report keypad the system holds is passed over", "04b4 0a0a usage=0001:0006\n16c0 0607\n", true,
         {"open 1", "close 1", "open 0", "close 0", "open 1", "feature 1 00 01 e4 00 00 00",
          "feature 1 00 01 05 00 00 00", "close 1"},
         {10, 10}},
        {"attributes that cannot be read: closed and passed over", "04b4 0a0a no-attributes\n04b4 0a0a\n", true,
         {"open 0", "close 0", "open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"a device that does not open is passed over", "04b4 0a0a no-open\n04b4 0a0a\n", true,
         {"open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"nothing reachable: false, nothing written", "04b4 0a0b\n16c0 0607 no-attributes\n", false,
         {"open 0", "close 0", "open 1", "close 1", "open 0", "close 0", "open 1", "close 1"}, {}},
        {"no HID device at all", "", false, {}, {}},
        // A byte that was not handed over fails the command; the other byte still goes.
        {"first output report fails", "04b4 0a0a write-fails=1\n", false,
         {"open 0", "output 0 00 05 05 05", "close 0"}, {}},
        {"second output report taken short", "04b4 0a0a write-short=2\n", false,
         {"open 0", "output 0 00 e4 e4 e4", "output 0 00 05 05", "close 0"}, {}},
        {"first feature report fails, both pauses still made", "16c0 0607 feature-fails=1\n", false,
         {"open 0", "close 0", "open 0", "feature 0 00 01 05 00 00 00", "close 0"}, {10, 10}},
        {"second feature report fails", "16c0 0607 feature-fails=2\n", false,
         {"open 0", "close 0", "open 0", "feature 0 00 01 e4 00 00 00", "close 0"}, {10, 10}},
    };
    for (const TCommandRow& row : rows) {
        Attach(row.Devices);
        TRecordedPauses::Pauses().clear();
        EXPECT_EQ(SendKeypadCommand(kcLEDOn), row.Result) << row.Name;
        EXPECT_EQ(Log(Keypad), row.Log) << row.Name;
        EXPECT_EQ(TRecordedPauses::Pauses(), row.Paused) << row.Name;
        EXPECT_EQ(KeypadHandle, nullptr) << row.Name;
    }
}

TEST_F(TransportTest, WantedIdentityStaysAsLastSelected)
{
    Attach("04b4 0a0a\n");
    ASSERT_TRUE(SendKeypadCommand(kcFlashLED));
    EXPECT_EQ(WantedVendorId, 0x04B4);
    EXPECT_EQ(WantedProductId, 0x0A0A);
    Attach("");
    ASSERT_FALSE(SendKeypadCommand(kcFlashLED));
    EXPECT_EQ(WantedVendorId, 0x16C0);
    EXPECT_EQ(WantedProductId, 0x0607);
}

// What the output-report path relies on of WriteFile: only a handle opened for writing takes
// a report, and the count taken comes back.
TEST_F(TransportTest, OutputReportNeedsAHandleOpenedForWriting)
{
    Attach("04b4 0a0a\n");
    const TKeypadOutputReport report = KeypadOutputReport(0x42);
    uint32_t written = 99;
    HANDLE queryOnly = CreateFileA("virtual-hid/0", 0, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(queryOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(queryOnly, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(written, 0u);
    HANDLE device = CreateFileA("virtual-hid/0", GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    int overlapped = 0;
    EXPECT_FALSE(WriteFile(device, report.data(), report.size(), &written, &overlapped));
    EXPECT_TRUE(WriteFile(device, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_TRUE(CloseHandle(queryOnly));
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_FALSE(WriteFile(device, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(Log(Keypad), (Lines{"open 0", "open 0", "output 0 00 42 42 42", "close 0", "close 0"}));
}

} // namespace
