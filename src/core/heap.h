#pragma once

namespace Heap
{
// Hands memory freed after a large decoding back to the system. The allocator keeps freed blocks
// for reuse otherwise, so the process would stay as large as its peak for the rest of its life.
void returnFreedMemory();

// The same, once things have settled: each call within a short while postpones it, so a burst of
// large steps ends in one trim, made when the interface is likely idle. A trim walks the whole
// heap and holds the allocator meanwhile, and the interface would wait for it mid-step. Callable
// from any thread.
void returnFreedMemoryWhenSettled();
}
