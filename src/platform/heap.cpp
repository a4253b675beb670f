#include "heap.h"

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
