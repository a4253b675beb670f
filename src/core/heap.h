#pragma once

namespace Heap
{
// Starts the program again, once, with glibc backing its heap with transparent huge pages, and
// takes the setting out of the environment the restarted program hands to its children. A large
// library is hundreds of thousands of small blocks; in 4 KiB pages each new page costs a fault,
// and on virtual machines every wake of a thread also costs time in proportion to the pages the
// process maps. Call first thing in main(); a restart that fails leaves the heap as it is.
void useHugePages(char *argv[]);

// Hands memory freed after a large decoding back to the system. The allocator keeps freed blocks
// for reuse otherwise, so the process would stay as large as its peak for the rest of its life.
void returnFreedMemory();

// The same, once things have settled: each call within a short while postpones it, so a burst of
// large steps ends in one trim, made when the interface is likely idle. A trim walks the whole
// heap and holds the allocator meanwhile, and the interface would wait for it mid-step. Callable
// from any thread.
void returnFreedMemoryWhenSettled();
}
