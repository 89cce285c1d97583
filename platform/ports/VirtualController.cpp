#include "VirtualController.h"

#include "Files.h"
#include "LayerFiles.h"
#include "LastError.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

struct TStatusSpan {
    uint8_t Value;
    long long Reads; // < 0: for ever
};

// Decimal, or hex after "0x": a leading zero is no octal prefix ("010" is ten).
bool ParseNumber(const std::string& Text, uint32_t& Value)
{
    const bool hex = Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
    const char* first = Text.data() + (hex ? 2 : 0);
    const char* last = Text.data() + Text.size();
    const auto [end, error] = std::from_chars(first, last, Value, hex ? 16 : 10);
    return first != last && error == std::errc() && end == last;
}

class TVirtualController : public TPortDriver {
public:
    TVirtualController(TDriverLoad How, std::string LogPath) : TPortDriver(How), FLogPath(std::move(LogPath)) {}
    ~TVirtualController() override
    {
        if (!FLog) return;
        EndRun();
        std::fclose(FLog);
    }

    bool Parse(const std::string& Description)
    {
        std::istringstream lines(Description);
        std::string line;
        bool first = true;
        while (std::getline(lines, line)) {
            if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
            std::istringstream words(line);
            std::string word;
            if (!(words >> word)) continue;
            if (first) { // the "driver" line
                first = false;
                continue;
            }
            std::vector<std::string> args;
            for (std::string a; words >> a;) args.push_back(a);
            uint32_t a = 0, b = 0, c = 0;
            if (word == "status" && (args.size() == 1 || args.size() == 2) && ParseNumber(args[0], a) && a <= 0xFF) {
                long long reads = -1;
                if (args.size() == 2) {
                    if (!ParseNumber(args[1], b)) return false;
                    reads = b;
                }
                FStatus.push_back({static_cast<uint8_t>(a), reads});
            } else if (word == "lpt" && args.size() == 1 && (args[0] == "none" || args[0] == "fails")) {
                FMapNone = args[0] == "none";
                FMapFails = args[0] == "fails";
            } else if (word == "lpt" && args.size() == 3 && ParseNumber(args[0], a) && ParseNumber(args[1], b) &&
                       ParseNumber(args[2], c) && a <= 0xFFFF && b <= 0xFFFF && c <= 0xFFFF) {
                FTable = {static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(c)};
            } else {
                return false;
            }
        }
        return true;
    }

    bool Open(uint32_t& Error) override
    {
        // Beside the driver file, as the layer's rule allows: never through a link, never waiting
        // on a pipe, a regular file only.
        const int fd = OpenLayerFile(FLogPath, O_WRONLY | O_APPEND | O_CREAT, 0644);
        FLog = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
        if (!FLog) {
            if (fd >= 0) ::close(fd);
            Error = ERROR_ACCESS_DENIED;
            return false;
        }
        return true;
    }

    bool Simulated() const override { return true; }

    bool Usable(uint32_t& Error) const override
    {
        if (LayerFileTrusted(FLogPath)) return true;
        Error = ERROR_ACCESS_DENIED;
        return false;
    }

    bool Control(uint32_t Code, std::vector<uint8_t>& Buffer, uint32_t& Returned, uint32_t& Error) override
    {
        // A refused map leaves the request as it came, as a driver that fails it would.
        if (FMapFails && IsMapRequest(Code)) {
            Error = ERROR_ACCESS_DENIED;
            return false;
        }
        return TPortDriver::Control(Code, Buffer, Returned, Error);
    }

protected:
    uint8_t ReadPort(uint16_t Port) override
    {
        if (Port != 0x64) {
            Log("in", Port, 0xFF, false);
            return 0xFF;
        }
        const uint8_t value = NextStatus();
        // A status that holds (a wait that runs out reads it a million times) is one line.
        if (FRun > 0 && value == FRunValue) {
            ++FRun;
        } else {
            EndRun();
            FRun = 1;
            FRunValue = value;
            FRunStart = Now();
        }
        return value;
    }

    void WritePort(uint16_t Port, uint8_t Value) override { Log("out", Port, Value, true); }

    uint32_t MapPhysical(uint32_t Physical, uint32_t Size) override
    {
        if (FMapNone) return 0;
        return MapLow(Physical, Size, -1, [&](uint8_t* at) {
            // Only the table's six bytes hold anything; the rest of the pages reads as zero.
            for (uint32_t i = 0; i < Size; ++i) {
                const uint32_t offset = Physical + i;
                if (offset >= 0x408 && offset < 0x40E) {
                    const uint16_t word = FTable[(offset - 0x408) / 2];
                    at[i] = static_cast<uint8_t>((offset - 0x408) % 2 ? word >> 8 : word);
                }
            }
        });
    }

    bool Unmap(uint32_t Address, uint32_t Size) override { return UnmapLow(Address, Size); }

private:
    static bool IsMapRequest(uint32_t Code) { return Code == 26 || Code == 0x80002068u; }

    uint8_t NextStatus()
    {
        while (FSpan < FStatus.size()) {
            TStatusSpan& s = FStatus[FSpan];
            if (s.Reads < 0) return s.Value;
            if (FReadsInSpan < s.Reads) {
                ++FReadsInSpan;
                return s.Value;
            }
            ++FSpan;
            FReadsInSpan = 0;
        }
        return 0x00;
    }

    static long long Now()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    // The pending run of identical status reads, as one line stamped with its first read.
    void EndRun()
    {
        if (FRun == 1) std::fprintf(FLog, "%lld in 0x64 0x%02x\n", FRunStart, FRunValue);
        if (FRun > 1) std::fprintf(FLog, "%lld in 0x64 0x%02x x%lld\n", FRunStart, FRunValue, FRun);
        FRun = 0;
    }

    void Log(const char* Direction, uint16_t Port, uint8_t Value, bool Flush)
    {
        EndRun();
        std::fprintf(FLog, "%lld %s 0x%02x 0x%02x\n", Now(), Direction, Port, Value);
        if (Flush) std::fflush(FLog);
    }

    std::string FLogPath;
    std::FILE* FLog = nullptr;
    std::vector<TStatusSpan> FStatus;
    size_t FSpan = 0;
    long long FReadsInSpan = 0;
    long long FRun = 0; // identical status reads not yet logged
    uint8_t FRunValue = 0;
    long long FRunStart = 0;
    std::array<uint16_t, 3> FTable = {0x378, 0, 0};
    bool FMapNone = false;
    bool FMapFails = false;
};

} // namespace

std::unique_ptr<TKernelDriver> MakeVirtualController(const std::string& DriverFile, const std::string& Description,
                                                     TDriverLoad How)
{
    auto driver = std::make_unique<TVirtualController>(How, ReplaceExtension(DriverFile, ".LOG"));
    if (!driver->Parse(Description)) return nullptr;
    return driver;
}
