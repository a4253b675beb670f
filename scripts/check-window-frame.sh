#!/usr/bin/env bash
# Checks the panel's window frame handler under a real window manager; run by hand, not in CI
# (offscreen has no window manager). Installs Xvfb, openbox, xdotool and Qt's qml runner, shows
# src/ui/WindowFrameHandler.qml in a frameless window with a button in the header's place, drags
# the window by its background and then clicks the button three times: each click must reach the
# button, and the window must keep its size.
#   scripts/check-window-frame.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# shellcheck source=check-common.sh
source "$root/scripts/check-common.sh" openbox xvfb xauth xdotool qml-qt6 qml6-module-qtquick qml6-module-qtquick-window

cp "$root/src/ui/WindowFrameHandler.qml" "$work/"
cat >"$work/check.qml" <<'QML'
import QtQuick
import QtQuick.Window

Window {
    width: 430
    height: 600
    visible: true
    flags: Qt.Window | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    color: "gray"

    WindowFrameHandler {
        anchors.fill: parent
    }

    Rectangle {
        x: 380
        y: 10
        width: 30
        height: 30
        color: "red"
        TapHandler {
            onTapped: console.log("button clicked")
        }
    }
}
QML

start_desktop
/usr/lib/qt6/bin/qml "$work/check.qml" >"$work/qml.log" 2>&1 &
qml_pid=$!
pids+=($qml_pid)
window=$(xdotool search --sync --pid "$qml_pid" | tail -1)
xdotool windowmove "$window" 100 100
sleep 0.5

# Drag by the background, in small steps as a hand would.
xdotool mousemove 300 300 mousedown 1
sleep 0.3
for _ in $(seq 10); do
  xdotool mousemove_relative 5 5
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "after the drag: at $X,$Y, ${WIDTH}x$HEIGHT"
moved_x=$X
for _ in 1 2 3; do
  xdotool mousemove $((X + 395)) $((Y + 25)) click 1
  sleep 0.5
done
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "after three clicks: at $X,$Y, ${WIDTH}x$HEIGHT"
clicks=$(grep -c "button clicked" "$work/qml.log" || true)
echo "clicks the button saw: $clicks of 3"
[ "$moved_x" -gt 100 ] || { echo "FAIL: the drag did not move the window" >&2; exit 1; }
[ "$clicks" -eq 3 ] && [ "$WIDTH" -eq 430 ] && [ "$HEIGHT" -eq 600 ] || { echo "FAIL" >&2; exit 1; }
echo "OK"
