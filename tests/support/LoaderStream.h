// What the loader makes of a definition file: its own reading, kept apart from the editor's
// headers (the two programs share no code and reuse names).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The download stream for the file at Path; empty when the loader refuses the file.
std::vector<uint8_t> LoaderStreamOf(const std::string& Path);
