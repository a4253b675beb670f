#!/usr/bin/env bash
# Runs the server's hostile-input tests against corvane-server built with AddressSanitizer, so that
# a use-after-free or overflow stops the server even where the tests' answers still look right.
# Run by hand, not in CI: the instrumented build takes a few minutes. Builds into build-asan/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address -fno-omit-frame-pointer" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address ${CORVANE_CMAKE_ARGS:-} >/dev/null
cmake --build "$root/build-asan" --parallel "$(nproc)" --target servericontest serverabusetest
cd "$root/build-asan"
# Qt's own allocations that live until exit are not this project's leaks; a report aborts the server.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 QT_QPA_PLATFORM=offscreen
./tests/servericontest
./tests/serverabusetest
