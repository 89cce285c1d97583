// What came back from the HID test guest (guest-test.sh), checked on the host: per scenario,
// NAME.log is what the uhid keypads logged and NAME.out what the program printed (the loader's
// label texts, then "exit N seconds S"; the tray probe's result, then "exit N").
#include "LoaderStream.h"
#include "SysUtils.h"
#include "TestSupport.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Results(const std::string& Name)
{
    const char* dir = std::getenv("QUILL_GUEST_RESULTS");
    return std::string(dir ? dir : ".") + "/" + Name;
}

struct TProgramRun {
    int Exit = -1;
    double Seconds = -1;
    std::vector<std::string> Status; // Label2's texts, in order
    std::string Output;
};

TProgramRun RunOf(const std::string& Scenario)
{
    TProgramRun run;
    const std::string file = Results(Scenario + ".out");
    if (!FileExists(file)) return run;
    run.Output = ReadFileText(file);
    std::istringstream lines(run.Output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("label Label2: ", 0) == 0) run.Status.push_back(line.substr(14));
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "exit") {
            words >> run.Exit >> word >> run.Seconds;
        }
    }
    return run;
}

std::vector<TLoggedReport> ReportsTo(const std::string& Scenario, const std::string& Device)
{
    std::vector<TLoggedReport> out;
    for (TLoggedReport& r : ReadKeypadLog(Results(Scenario + ".log")))
        if (r.Device == Device && r.Event != "open" && r.Event != "close") out.push_back(r);
    return out;
}

Bytes FeatureReport(uint8_t B)
{
    return {0x00, 0x01, B, 0x00, 0x00, 0x00};
}

Bytes GuestStream()
{
    const char* definition = std::getenv("QUILL_GUEST_DEFINITION");
    return definition ? LoaderStreamOf(definition) : Bytes{};
}

// uhid/0 is the feature-report keypad 16C0:0607, uhid/1 (where present) the output-report one.
TEST(GuestLoader, EveryByteArrivesAsOneFeatureReportInOrder)
{
    const Bytes stream = GuestStream();
    ASSERT_GT(stream.size(), 206u) << "the definition has codes";
    const TProgramRun run = RunOf("download");
    EXPECT_EQ(run.Exit, 0) << run.Output;
    ASSERT_FALSE(run.Status.empty()) << run.Output;
    EXPECT_EQ(run.Status.back(), "Done!");
    EXPECT_NE(run.Output.find("label Label5: guest keypad.ckd\n"), std::string::npos) << "the split path joined";
    const auto reports = ReportsTo("download", "uhid/0");
    ASSERT_EQ(reports.size(), stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
        EXPECT_EQ(reports[i].Event, "feature") << "byte " << i;
        EXPECT_EQ(reports[i].Bytes, FeatureReport(stream[i])) << "byte " << i;
        // 10 ms after every report; the log's clock counts whole milliseconds.
        if (i > 0) {
            EXPECT_GE(reports[i].Milliseconds - reports[i - 1].Milliseconds, 9) << "byte " << i;
        }
    }
    EXPECT_TRUE(ReportsTo("download", "uhid/1").empty()) << "the output-report keypad is no loader's keypad";
}

TEST(GuestLoader, RefusedThirdReportEndsTheDownloadWithSendTimeout)
{
    const Bytes stream = GuestStream();
    ASSERT_GE(stream.size(), 3u);
    const TProgramRun run = RunOf("refused");
    EXPECT_EQ(run.Exit, 1) << run.Output;
    EXPECT_GE(run.Seconds, 3.5) << "the text stays up 3.5 s";
    ASSERT_FALSE(run.Status.empty()) << run.Output;
    EXPECT_EQ(run.Status.back(), "Keypad send timeout!");
    const auto reports = ReportsTo("refused", "uhid/0");
    ASSERT_EQ(reports.size(), 3u) << "nothing is sent after the refused report";
    const char* events[] = {"feature", "feature", "refused"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[i].Event, events[i]) << "report " << i;
        EXPECT_EQ(reports[i].Bytes, FeatureReport(stream[i])) << "report " << i;
    }
}

TEST(GuestLoader, NoKeypadIsNotFound)
{
    const TProgramRun run = RunOf("nokeypad");
    EXPECT_EQ(run.Exit, 1) << run.Output;
    ASSERT_FALSE(run.Status.empty()) << run.Output;
    EXPECT_EQ(run.Status.back(), "Keypad or driver not found!");
}

// Each report's byte, checking that every report is a feature report of the loader's form.
Bytes CarriedBy(const std::vector<TLoggedReport>& Reports)
{
    Bytes carried;
    for (const TLoggedReport& r : Reports) {
        EXPECT_EQ(r.Event, "feature");
        EXPECT_EQ(r.Bytes.size(), 6u);
        carried.push_back(r.Bytes.size() == 6 && r.Bytes == FeatureReport(r.Bytes[2]) ? r.Bytes[2] : 0xFF);
    }
    return carried;
}

Bytes Joined(Bytes A, const Bytes& B)
{
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// Two loaders started half a second apart take the keypad in turn: one sends whole, then the
// other, and both succeed. So does the tray's command sent while a loader downloads: it waits
// for the download's end.
TEST(GuestLoader, SendersStartedTogetherTakeTheKeypadInTurn)
{
    const Bytes stream = GuestStream();
    ASSERT_FALSE(stream.empty());
    for (const char* name : {"twice-1", "twice-2"}) {
        const TProgramRun run = RunOf(name);
        EXPECT_EQ(run.Exit, 0) << name << ": " << run.Output;
        ASSERT_FALSE(run.Status.empty()) << name << ": " << run.Output;
        EXPECT_EQ(run.Status.back(), "Done!") << name;
        std::printf("[ figures  ] %s ran %.2f s\n", name, run.Seconds);
    }
    EXPECT_EQ(CarriedBy(ReportsTo("twice", "uhid/0")), Joined(stream, stream));

    if (!FileExists(Results("beside-tray.out"))) GTEST_SKIP() << "built without the tray transport";
    const TProgramRun loader = RunOf("beside-loader"), tray = RunOf("beside-tray");
    EXPECT_EQ(loader.Exit, 0) << loader.Output;
    ASSERT_FALSE(loader.Status.empty()) << loader.Output;
    EXPECT_EQ(loader.Status.back(), "Done!");
    EXPECT_EQ(tray.Exit, 0) << tray.Output;
    const Bytes command = {0xE4, 0x05};
    const Bytes carried = CarriedBy(ReportsTo("beside", "uhid/0"));
    EXPECT_EQ(carried, Joined(stream, command)) << HexBytes(carried);
}

struct TTrayRow {
    const char* Scenario;
    const char* Device;
    std::vector<std::pair<std::string, Bytes>> Reports;
};

TEST(GuestTray, LedOnReachesTheFirstKeypadOfTheTraysOrder)
{
    if (!FileExists(Results("tray-output.out"))) GTEST_SKIP() << "built without the tray transport";
    const TTrayRow rows[] = {
        {"tray-output", "uhid/1", {{"output", {0x00, 0xE4, 0xE4, 0xE4}}, {"output", {0x00, 0x05, 0x05, 0x05}}}},
        {"tray-feature", "uhid/0", {{"feature", FeatureReport(0xE4)}, {"feature", FeatureReport(0x05)}}},
    };
    for (const TTrayRow& row : rows) {
        const TProgramRun run = RunOf(row.Scenario);
        EXPECT_EQ(run.Exit, 0) << row.Scenario << ": " << run.Output;
        EXPECT_NE(run.Output.find("command 05 1"), std::string::npos) << row.Scenario << ": " << run.Output;
        std::vector<std::pair<std::string, Bytes>> got;
        for (const TLoggedReport& r : ReportsTo(row.Scenario, row.Device)) got.push_back({r.Event, r.Bytes});
        EXPECT_EQ(got, row.Reports) << row.Scenario;
    }
    EXPECT_TRUE(ReportsTo("tray-output", "uhid/0").empty()) << "only the output-report keypad receives";
}

} // namespace
