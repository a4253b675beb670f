#pragma once

namespace Heap
{
// Hands memory freed after a large decoding back to the system. The allocator keeps freed blocks
// for reuse otherwise, so the process would stay as large as its peak for the rest of its life.
void returnFreedMemory();
}
