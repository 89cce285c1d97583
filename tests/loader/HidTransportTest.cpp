#include "Devices.h"
#include "HidTransport.h"
#include "Library.h"
#include "SetupApi.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace loader;

namespace {

using Bytes = std::vector<uint8_t>;

class HidTransportTest : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    TRecordedPauses Pauses;
    void SetUp() override { SelectDeviceIds(kpFeatureReport); }
    void TearDown() override
    {
        CloseKeypadDevice();
        UnloadHidApi();
    }
};

TEST_F(HidTransportTest, FeatureReportCarriesOneBytePerReportAndPauses)
{
    TVirtualLibraries libraries;
    Keypad.SetDevices("16c0 0607\n");
    ASSERT_TRUE(FindKeypadDevice());
    EXPECT_FALSE(SendFeatureByte(0xE4));
    EXPECT_FALSE(SendFeatureByte(0x00));
    auto reports = Keypad.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].Bytes, (Bytes{0x00, 0x01, 0xE4, 0x00, 0x00, 0x00}));
    EXPECT_EQ(reports[1].Bytes, (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(TRecordedPauses::Pauses(), (std::vector<uint32_t>{10, 10}));
}

TEST_F(HidTransportTest, FailedReportIsReportedAfterItsPause)
{
    TVirtualLibraries libraries;
    Keypad.SetDevices("16c0 0607 feature-fails=2\n");
    ASSERT_TRUE(FindKeypadDevice());
    EXPECT_FALSE(SendFeatureByte(1));
    EXPECT_TRUE(SendFeatureByte(2));
    EXPECT_EQ(Keypad.CarriedBytes(), (Bytes{1}));
    EXPECT_EQ(TRecordedPauses::Pauses(), (std::vector<uint32_t>{10, 10}));
}

TEST_F(HidTransportTest, OtherSelectorSendsNothingAndDoesNotFail)
{
    TVirtualLibraries libraries;
    Keypad.SetDevices("16c0 0607\n");
    ASSERT_TRUE(FindKeypadDevice());
    SelectDeviceIds(0);
    EXPECT_EQ(WantedVendorId, 0);
    EXPECT_FALSE(SendFeatureByte(7));
    EXPECT_TRUE(Keypad.Reports().empty());
    EXPECT_TRUE(TRecordedPauses::Pauses().empty());
}

TEST_F(HidTransportTest, FirstMatchingInterfaceWinsAndUnusableOnesArePassedOver)
{
    struct Row {
        const char* Name;
        const char* Devices;
        const char* Chosen;
    };
    const Row rows[] = {
        {"two keypads", "04b4 0a0a\n16c0 0607\n16c0 0607\n", "virtual-hid/1"},
        {"first cannot be opened", "16c0 0607 no-open\n16c0 0607\n", "virtual-hid/1"},
        {"first gives no attributes", "16c0 0607 no-attributes\n16c0 0607\n", "virtual-hid/1"},
        {"other product id", "16c0 0608\n16c0 0607\n", "virtual-hid/1"},
    };
    for (const Row& row : rows) {
        TVirtualLibraries libraries;
        Keypad.SetDevices(row.Devices);
        std::remove(Keypad.LogFile().c_str());
        ASSERT_TRUE(FindKeypadDevice()) << row.Name;
        EXPECT_FALSE(SendFeatureByte(0x42)) << row.Name;
        auto reports = Keypad.Reports();
        ASSERT_EQ(reports.size(), 1u) << row.Name;
        EXPECT_EQ(reports[0].Device, row.Chosen) << row.Name;
        CloseKeypadDevice();
        EXPECT_FALSE(HidApiLoaded) << row.Name;
        EXPECT_EQ(libraries.Opens, libraries.Closes) << row.Name;
    }
}

TEST_F(HidTransportTest, NoKeypadLeavesTheLibrariesBound)
{
    TVirtualLibraries libraries;
    Keypad.SetDevices("04b4 0a0a\n16c0 0607 no-open\n");
    EXPECT_FALSE(FindKeypadDevice());
    EXPECT_TRUE(HidApiLoaded);
    EXPECT_FALSE(LoadHidApi()); // already bound: nothing is loaded again
    EXPECT_EQ(libraries.Opens, 2);
    UnloadHidApi();
    EXPECT_EQ(libraries.Closes, 2);
}

TEST_F(HidTransportTest, MissingLibrariesOrEntryPointCountAsNoKeypad)
{
    Keypad.SetDevices("16c0 0607\n");
    {
        TVirtualLibraries libraries;
        libraries.RefuseOpen = 1; // no "HID.DLL"
        EXPECT_FALSE(FindKeypadDevice());
        EXPECT_EQ(libraries.Opens, 0);
    }
    {
        TVirtualLibraries libraries;
        libraries.RefuseOpen = 2; // "HID.DLL" but no "SETUPAPI.DLL": HID is freed again
        EXPECT_FALSE(FindKeypadDevice());
        EXPECT_EQ(libraries.Opens, 1);
        EXPECT_EQ(libraries.Closes, 1);
        EXPECT_FALSE(HidApiLoaded);
    }
    {
        TVirtualLibraries libraries("virtualhid-nogetfeature"); // never called, still required
        EXPECT_FALSE(FindKeypadDevice());
        EXPECT_EQ(libraries.Opens, 2);
        EXPECT_EQ(libraries.Closes, 2);
    }
    EXPECT_TRUE(Keypad.Reports().empty());
}

TEST_F(HidTransportTest, EntryPointsExistOnlyWhileTheirLibraryStandsBehindThem)
{
    TVirtualLibraries libraries("virtualhid-nogetfeature");
    HMODULE hid = LoadLibraryA("hid.dll");
    ASSERT_NE(hid, nullptr);
    EXPECT_NE(GetProcAddress(hid, "HidD_SetFeature"), nullptr);
    EXPECT_EQ(GetProcAddress(hid, "HidD_GetFeature"), nullptr);
    EXPECT_EQ(GetProcAddress(hid, "SetupDiGetClassDevsA"), nullptr); // the other library's
    EXPECT_EQ(LoadLibraryA("KERNEL32.DLL"), nullptr);
    EXPECT_TRUE(FreeLibrary(hid));
    EXPECT_FALSE(FreeLibrary(hid));
    EXPECT_EQ(GetProcAddress(hid, "HidD_SetFeature"), nullptr);
}

// The platform's detail block contract, which the search relies on to stay inside its block.
TEST_F(HidTransportTest, DetailBlockNeverWrittenPastItsSize)
{
    TVirtualLibraries libraries;
    Keypad.SetDevices("16c0 0607\n");
    HMODULE hid = LoadLibraryA("HID.DLL"), setup = LoadLibraryA("SETUPAPI.DLL");
    GUID guid{};
    HidD_GetHidGuid(&guid);
    HDEVINFO list = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(list, INVALID_DEVINFO_HANDLE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 27;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list, nullptr, &guid, 0, &data));
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(list, nullptr, &guid, 0, &data));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(list, nullptr, &guid, 1, &data));

    uint32_t required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &required, nullptr));
    const std::string path = Keypad.DevicePath(0);
    ASSERT_EQ(required, 4 + path.size() + 1);

    std::vector<unsigned char> block(required + 8, 0xAA);
    uint32_t sizeField = 8; // the 64-bit platform's value is refused: ours is 5
    std::memcpy(block.data(), &sizeField, 4);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(
        list, &data, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data()), required, nullptr, nullptr));
    sizeField = 5;
    std::memcpy(block.data(), &sizeField, 4);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(
        list, &data, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data()), required - 1, nullptr, nullptr));
    EXPECT_EQ(block[4], 0xAA);
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(
        list, &data, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data()), required, nullptr, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.data()) + 4), path);
    EXPECT_EQ(block[required], 0xAA);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(list));
    FreeLibrary(setup);
    FreeLibrary(hid);
}

TEST_F(HidTransportTest, HandlesAreOnlyThoseCreateFileGave)
{
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(CreateFileA("/nonexistent/x", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    HANDLE h = CreateFileA("virtual-hid/0", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr); // no HID library bound
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
}

} // namespace
