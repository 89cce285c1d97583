// Heap use of the program, as operator new sees it. Linking HeapCounter.cpp replaces the
// program's global operator new and delete, so only tests and benchmarks that measure
// memory, or make it run out, link it.
#pragma once
#include <cstddef>

// Bytes allocated through operator new and not yet freed.
size_t HeapInUse();
// The most that was in use at once since the last ResetHeapPeak.
size_t HeapPeak();
void ResetHeapPeak();
// Makes the allocation after the next Count ones fail with std::bad_alloc, once; SIZE_MAX
// (the start) lets every allocation through.
void FailAllocationAfter(size_t Count);
