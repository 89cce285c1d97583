// What every fuzz target asserts with: a broken rule stops the run as a crash, with the input.
#pragma once

inline void Check(bool Condition)
{
    if (!Condition) __builtin_trap();
}
