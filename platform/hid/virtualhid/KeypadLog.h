// The log that test keypads write and tests read: one line per event, milliseconds since the
// epoch, the device, the event ("open", "close", "feature", "output", ...) and a report's bytes
// in hex. Each line is appended whole, so the file stays readable whoever else writes to it.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>

inline void AppendKeypadLog(const char* File, const std::string& Device, const char* Event,
                            const unsigned char* Data = nullptr, size_t Length = 0)
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    std::string line = std::to_string(ms) + " " + Device + " " + Event;
    char hex[4];
    for (size_t i = 0; i < Length; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", Data[i]);
        line += hex;
    }
    line += "\n";
    if (FILE* f = std::fopen(File, "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}
