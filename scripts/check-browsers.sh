#!/usr/bin/env bash
# Checks desktop capture against real browsers; run by hand, not in CI. Installs firefox-esr,
# chromium, openbox, Xvfb and xdotool, starts both browsers on local pages in a throw-away home
# under Xvfb + openbox, switches focus and pages, and prints what `corvane --capture-report`
# sees after each step.
#   scripts/check-browsers.sh                 # uses build/src/app/corvane
#   CORVANE=/path/to/corvane scripts/check-browsers.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corvane=${CORVANE:-$root/build/src/app/corvane}
[ -x "$corvane" ] || { echo "build corvane first (scripts/build.sh) or set CORVANE" >&2; exit 1; }

packages=(firefox-esr chromium openbox xvfb xauth xdotool python3)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A home of its own, so the browsers create their default profiles where a user's would be.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$work/pages"
for page in one two three; do
  printf '<!doctype html><title>Corvane check %s</title><p>Page %s.</p>\n' "$page" "$page" >"$work/pages/$page.html"
done
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/pages" "$port" >/dev/null 2>&1 &
pids+=($!)
page() { echo "http://127.0.0.1:$port/$1.html"; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

browser_flags=(--no-first-run --no-default-browser-check --disable-gpu --password-store=basic)
[ "$(id -u)" -eq 0 ] && browser_flags+=(--no-sandbox)
firefox-esr "$(page one)" >/dev/null 2>&1 &
pids+=($!)
chromium "${browser_flags[@]}" "$(page one)" >/dev/null 2>&1 &
pids+=($!)

report() {
  echo "== $1"
  "$corvane" --capture-report || echo "(corvane exited with $?)"
}
activate() {
  local window
  window=$(xdotool search --sync --onlyvisible --class "$1" | tail -1)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowactivate "$window"
  sleep 1
}
# Types an address into the front window's address field (Firefox's remote opening needs D-Bus).
navigate() {
  xdotool key --clearmodifiers ctrl+l
  sleep 0.5
  xdotool type --delay 20 "$1"
  xdotool key Return
}

# Firefox writes its session about 15 s after a change, Chromium within a few seconds.
sleep 20
activate firefox-esr
report "Firefox in front, page one"
navigate "$(page two)"
sleep 3
report "Firefox in front, page two loaded, session not yet written"
sleep 17
report "Firefox in front, page two, session written"
activate chromium
report "Chromium in front, page one"
navigate "$(page three)"
sleep 12
report "Chromium in front, page three"
activate firefox-esr
report "Firefox in front again, page two"
