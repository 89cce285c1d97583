// The component in processes of their own, each with this test's Windows folder.
#include "PORT_32.h"
#include "PortTestSupport.h"

namespace {

const std::string kProbe = std::string(QUILL_TEST_BINARY_DIR) + "/tests/portio_probe";

class TPortProcessTest : public TPortTest {
protected:
    void SetUp() override
    {
        if (!PrivateWindowsFolderWorks()) GTEST_SKIP() << "no user and mount namespaces here";
    }
    std::string Run(const std::vector<std::string>& Steps, bool NonRoot = false)
    {
        std::vector<std::string> argv = {kProbe};
        argv.insert(argv.end(), Steps.begin(), Steps.end());
        std::string out;
        EXPECT_EQ(RunCommand(Windows.Command(argv, NonRoot), &out), 0) << out;
        return out;
    }
};

TEST_F(TPortProcessTest, AnOrdinaryUserGetsFalseAndNothingIsWritten)
{
    EXPECT_EQ(Run({"open", "out", "0x60", "0xe4", "in", "0x64", "close"}, true),
              "open 0 active 0 lptcount 0 lptnumber 1 wasrunning 0 wasinstalled 1\nout 0x60 0xe4\nin 0x64 0xff\nclose active 0\n");
    EXPECT_EQ(ServiceState(), "none");
    EXPECT_TRUE(Windows.PortLog().empty());
}

// The service database outlives each process: what one run leaves, the next finds.
TEST_F(TPortProcessTest, AServiceAProcessLeftIsFoundByTheNext)
{
    Describe("lpt 0x378 0 0x278\n");
    EXPECT_EQ(Run({"open", "leave"}), "open 1 active 1 lptcount 2 lptnumber 1 wasrunning 0 wasinstalled 0\n");
    EXPECT_EQ(ServiceState(), "running");

    TPortAccess port(nullptr);
    ASSERT_TRUE(port.OpenAccess());
    EXPECT_TRUE(port.ServiceWasRunning);
    port.OutPort(0x60, 0xE4);
    port.CloseAccess();
    EXPECT_EQ(ServiceState(), "running");

    EXPECT_EQ(Run({"open", "out", "0x60", "0x05", "close"}),
              "open 1 active 1 lptcount 2 lptnumber 1 wasrunning 1 wasinstalled 1\nout 0x60 0x05\nclose active 0\n");
    EXPECT_EQ(ServiceState(), "running");
    EXPECT_EQ(Windows.PortLog(), (std::vector<std::string>{"out 0x60 0xe4", "out 0x60 0x05"}));
}

// The probe's write guard asks about the driver the open device came from. Here the running
// service names this machine's port driver in another file while PORTACC.SYS still names the
// virtual controller; /dev/port is a file of the test's in the probe's namespace, so that the
// driver opens and a write past the guard would land in it.
TEST_F(TPortProcessTest, TheProbeWritesOnlyThroughASimulatedDriver)
{
    WriteFileText(Windows.Path() + "/SYSTEM32/PORTACC.SYS", "driver linux-port\n");
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = CreateServiceA(scm, "PORTACC", "PORTACC", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       (Windows.Path() + "/SYSTEM32/PORTACC.SYS").c_str(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    CloseServiceHandle(service);
    CloseServiceHandle(scm);
    TTempDir dir;
    const std::string ports(256, '\0');
    WriteFileText(dir.File("port"), ports);
    const std::string fake = "mount -t tmpfs tmpfs /dev && : > /dev/port && mount --bind \"$0\" /dev/port || exit 77\n"
                             "exec \"$@\"";
    std::string out;
    const int status = RunCommand(
        Windows.Command({"sh", "-c", fake, dir.File("port"), kProbe, "open", "out", "0x60", "0xe4", "close"}), &out);
    if (status == 77) GTEST_SKIP() << "no /dev/port of our own in the namespace";
    EXPECT_EQ(status, 3) << out;
    EXPECT_EQ(out, "open 1 active 1 lptcount 1 lptnumber 1 wasrunning 1 wasinstalled 1\n"
                   "out refused: not the virtual controller or the test guest\n");
    EXPECT_EQ(ReadFileText(dir.File("port")), ports);
    EXPECT_TRUE(Windows.PortLog().empty());
}

} // namespace
