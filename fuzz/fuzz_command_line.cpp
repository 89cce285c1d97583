// The shell's command-line splitting against its quoting: any arguments, each quoted and
// joined with blanks, split back into exactly themselves; and any command line splits into
// arguments that, quoted again, split the same way.
#include "FuzzCheck.h"
#include "Shell.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string Joined(const std::vector<std::string>& Arguments)
{
    std::string line;
    for (const std::string& a : Arguments) line += (line.empty() ? "" : " ") + QuoteArgument(a);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The input as arguments, split at its zero bytes (no argument can hold one).
    std::vector<std::string> arguments(1);
    for (char c : input) {
        if (c == '\0')
            arguments.emplace_back();
        else
            arguments.back() += c;
    }
    Check(SplitCommandLine(Joined(arguments)) == arguments);

    const std::vector<std::string> split = SplitCommandLine(input);
    Check(SplitCommandLine(Joined(split)) == split);
    return 0;
}
