#!/usr/bin/env bash
# Sets everything up and runs the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
exec "$root/build/src/app/corvane" "$@"
