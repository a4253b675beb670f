#!/usr/bin/env bash
# Fails on C++ files that clang-format would change and on clang-tidy findings in src/ and server/.
# Needs a configured build/ (for compile_commands.json): run scripts/build.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
unformatted=()
for file in "${sources[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted (run clang-format -i on them):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi

# Headers are checked through the files that include them (HeaderFilterRegex in .clang-tidy).
git ls-files 'src/*.cpp' 'server/*.cpp' \
  | xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet >build/clang-tidy.log 2>/dev/null || true
if grep -E 'warning:|error:' build/clang-tidy.log; then
  echo "clang-tidy found problems (build/clang-tidy.log)" >&2
  exit 1
fi
echo "Formatting and clang-tidy: clean"
