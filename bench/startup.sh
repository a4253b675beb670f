#!/bin/sh
# Runs the start-up benchmark on a private Xvfb display with openbox as the window manager, so the
# client's panel is mapped the way a desktop maps it. Arguments go to the benchmark, the client
# executable first:
#   bench/startup.sh build/src/app/corvane [--websites 0,2000,10000] [--runs 3]
# STARTUPBENCH names another benchmark executable (default: build/bench/startupbench).
set -eu

bench=${STARTUPBENCH:-$(dirname "$0")/../build/bench/startupbench}
scratch=$(mktemp -d)
cleanup() {
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
while [ ! -s "$scratch/display" ]; do
    kill -0 "$xvfb" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=:$(cat "$scratch/display")
export DISPLAY

# Without openbox the panel is mapped straight onto the root window, which the benchmark sees too.
if command -v openbox >/dev/null; then
    openbox >"$scratch/openbox.log" 2>&1 &
    wm=$!
    # The window manager is ready once it announces itself on the root window.
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        kill -0 "$wm" 2>/dev/null || { cat "$scratch/openbox.log" >&2; exit 1; }
        sleep 0.1
    done
else
    echo "openbox not found: measuring without a window manager" >&2
fi

"$bench" "$@"
