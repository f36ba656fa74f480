// Counting allocation functions: a program that compiles tests/support/counting_alloc.cpp in
// has its global operator new and delete replaced by ones that count every call, so a test or
// benchmark can prove that some work allocates and frees nothing.
#pragma once

// Allocations (every form of operator new) and releases (operator delete of a non-null
// pointer) since the program started, from every thread.
long AllocationCount();
long ReleaseCount();
