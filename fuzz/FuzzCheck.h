// What every fuzz target asserts with: a broken rule stops the run as a crash, with the input.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

inline void Check(bool Condition)
{
    if (!Condition) __builtin_trap();
}

// A folder of the run's own, removed when the run ends; in memory where the machine has a
// memory file system, as a target that writes files every run spends its time syncing them.
inline const std::string& ScratchFolder()
{
    // Never destroyed: the removal at exit runs after the destructors of statics.
    static const std::string* folder = [] {
        auto pattern = new std::string(std::filesystem::is_directory("/dev/shm") ? "/dev/shm/quill-fuzz-XXXXXX"
                                                                                  : "/tmp/quill-fuzz-XXXXXX");
        if (!::mkdtemp(pattern->data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
        return pattern;
    }();
    return *folder;
}
