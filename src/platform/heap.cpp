#include "heap.h"

// Any C library header defines __GLIBC__ where it applies.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace Heap
{
void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
}
