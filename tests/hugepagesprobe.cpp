// Starts the way the application does, fills a large block, and prints whether the heap setting
// reached its environment and how much of its memory is in huge pages.
#include "heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int, char *argv[])
{
    Heap::useHugePages(argv);
    constexpr std::size_t kBlock = 64 * 1024 * 1024;
    auto *block = static_cast<char *>(std::malloc(kBlock));
    std::memset(block, 1, kBlock);
    const char *tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("environment: %s\n", tunables ? tunables : "");
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
        if (line.starts_with("AnonHugePages:"))
            std::printf("%s\n", line.c_str());
    }
    std::free(block);
    return 0;
}
