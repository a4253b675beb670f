#!/usr/bin/env bash
# Checks desktop capture against real browsers; run by hand, not in CI. Installs firefox-esr,
# chromium, openbox, Xvfb and xdotool, starts both browsers on local pages in a throw-away home
# under Xvfb + openbox, switches focus and pages, and prints what `corvane --capture-report`
# sees after each step. Then the same browsers again with Corvane's add-on and a running
# Corvane: each step must show the right browser and address, and the time until it does is
# measured.
#   scripts/check-browsers.sh                 # uses build/src/app/corvane
#   CORVANE=/path/to/corvane scripts/check-browsers.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corvane=${CORVANE:-$root/build/src/app/corvane}
[ -x "$corvane" ] || { echo "build corvane first (scripts/build.sh) or set CORVANE" >&2; exit 1; }

# shellcheck source=check-common.sh
source "$root/scripts/check-common.sh" firefox-esr chromium openbox xvfb xauth xdotool python3 weston

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

start_desktop

browser_flags=(--no-first-run --no-default-browser-check --disable-gpu --password-store=basic)
[ "$(id -u)" -eq 0 ] && browser_flags+=(--no-sandbox)
firefox-esr "$(page one)" >/dev/null 2>&1 &
firefox_pid=$!
pids+=($!)
chromium "${browser_flags[@]}" "$(page one)" >/dev/null 2>&1 &
chromium_pid=$!
pids+=($!)

# Without the add-on a step may show the right browser without its address yet, never another
# browser's or another page's address.
wrong_steps=0
report() {
  local label=$1 browser=$2 url=$3 verdict
  echo "== $label"
  verdict=$("$corvane" --capture-report | python3 -c '
import json, sys
result = json.load(sys.stdin)["result"] or {}
seen = (result.get("browserName", ""), result.get("url", ""))
right = seen[0] == sys.argv[1] and seen[1] in ("", sys.argv[2])
print(("ok   " if right else "WRONG ") + " ".join(seen))' "$browser" "$url") || verdict="WRONG (corvane exited with $?)"
  echo "$verdict"
  [ "${verdict#WRONG}" = "$verdict" ] || wrong_steps=$((wrong_steps + 1))
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
report "Firefox in front, page one" Firefox "$(page one)"
navigate "$(page two)"
sleep 3
report "Firefox in front, page two loaded, session not yet written" Firefox "$(page two)"
sleep 17
report "Firefox in front, page two, session written" Firefox "$(page two)"
activate chromium
report "Chromium in front, page one" Chromium "$(page one)"
navigate "$(page three)"
sleep 12
report "Chromium in front, page three" Chromium "$(page three)"
activate firefox-esr
report "Firefox in front again, page two" Firefox "$(page two)"
echo "without the add-on: $wrong_steps of 6 steps showed another browser's or another page's address"

# With the add-on: a fresh home, the host registered, Corvane running to receive the reports.
kill "$firefox_pid" "$chromium_pid" 2>/dev/null || true
sleep 2
addon=${CORVANE_ADDON:-$root/build/share/corvane}
export HOME=$work/bridge-home XDG_CONFIG_HOME=$work/bridge-home/.config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME/.mozilla" "$XDG_CONFIG_HOME/mozilla" "$XDG_CONFIG_HOME/chromium" "$XDG_RUNTIME_DIR" "$HOME/firefox/extensions"
chmod 700 "$XDG_RUNTIME_DIR"
"$corvane" --connect-browsers
"$corvane" >"$work/corvane.log" 2>&1 &
pids+=($!)
cp "$addon/corvane-bridge.xpi" "$HOME/firefox/extensions/bridge@corvane.app.xpi"
cat >"$HOME/firefox/user.js" <<'PREFS'
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.firstRunURL", "");
user_pref("browser.aboutwelcome.enabled", false);
PREFS
printf '<!doctype html><title>Corvane check script</title><body><script>document.body.textContent = "Written by script: " + 6 * 7;</script>\n' \
  >"$work/pages/script.html"
chromium_addon_flags=("${browser_flags[@]}" --disable-features=DisableLoadExtensionCommandLineSwitch
  --load-extension="$addon/browser-extension")
firefox-esr --no-remote --profile "$HOME/firefox" "$(page one)" >/dev/null 2>&1 &
firefox_pid=$!
pids+=($!)
chromium "${chromium_addon_flags[@]}" "$(page one)" >/dev/null 2>&1 &
chromium_pid=$!
pids+=($!)
sleep 8

failures=0
times=()
report_env=()
# Polls the capture report until it shows this browser and address read by the add-on; prints
# how long that took from the step's last key press or window switch (each report itself takes
# a few tens of milliseconds, so that is the resolution).
expect() {
  local label=$1 want="$2 $3 add-on" seen="" elapsed
  while :; do
    seen=$("${report_env[@]}" "$corvane" --capture-report 2>/dev/null | python3 -c '
import json, sys
report = json.load(sys.stdin)
result = report["result"] or {}
reader = next((c.get("reader", {}).get("reader", "files") for c in report["candidates"]
               if c["appName"] == result.get("browserName")), "none")
text = report.get("browserAddOn", {}).get("pageText", {}).get("start", "")
print(result.get("browserName", ""), result.get("url", ""), reader, "|", text)')
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "${seen%% |*}" = "$want" ] && break
    if [ "$elapsed" -gt 15000 ]; then
      echo "FAIL $label: wanted '$want', saw '$seen'"
      failures=$((failures + 1))
      return
    fi
  done
  times+=("$elapsed")
  echo "ok   $label: ${seen%% |*} after $elapsed ms"
  last_text=${seen#*| }
}
step() { start=$(date +%s%N); }
# The text the add-on gives for the script-written page, as the page shows it. The address may be
# reported while the page still loads, before its script ran: ask again for up to 5 s.
expect_script_text() {
  local until=$((SECONDS + 5))
  while [ "$last_text" != "Written by script: 42" ] && [ "$SECONDS" -lt "$until" ]; do
    sleep 0.1
    last_text=$("${report_env[@]}" "$corvane" --capture-report 2>/dev/null \
      | python3 -c 'import json, sys; print(json.load(sys.stdin).get("browserAddOn", {}).get("pageText", {}).get("start", ""))')
  done
  if [ "$last_text" = "Written by script: 42" ]; then
    echo "ok   $1 page text from the page: $last_text"
  else
    echo "FAIL $1 page text: '$last_text'"
    failures=$((failures + 1))
  fi
}
switch_to() {
  xdotool windowactivate --sync "$(xdotool search --onlyvisible --class "$1" | tail -1)"
}

echo "== with the add-on"
switch_to firefox-esr; step; expect "Firefox in front" Firefox "$(page one)"
navigate "$(page two)"; step; expect "Firefox navigates" Firefox "$(page two)"
xdotool key ctrl+t; sleep 0.3; navigate "$(page three)"; step; expect "Firefox new tab" Firefox "$(page three)"
xdotool key ctrl+Page_Up; step; expect "Firefox back to the first tab" Firefox "$(page two)"
switch_to chromium; step; expect "Chromium in front" Chromium "$(page one)"
navigate "$(page two)"; step; expect "Chromium navigates" Chromium "$(page two)"
xdotool key ctrl+t; sleep 0.3; navigate "$(page three)"; step; expect "Chromium new tab" Chromium "$(page three)"
xdotool key ctrl+Page_Up; step; expect "Chromium back to the first tab" Chromium "$(page two)"
switch_to firefox-esr; step; expect "Firefox in front again" Firefox "$(page two)"
for browser in firefox-esr:Firefox chromium:Chromium; do
  switch_to "${browser%%:*}"
  navigate "$(page script)"; step; expect "${browser##*:} script page" "${browser##*:}" "$(page script)"
  expect_script_text "${browser##*:}"
done
printf '%s\n' "${times[@]}" | python3 -c '
import statistics, sys
times = [int(line) for line in sys.stdin if line.strip()]
if times:
    print(f"step to report: median {statistics.median(times):.0f} ms, worst {max(times)} ms over {len(times)} steps")'

# The same add-on with both browsers as native Wayland clients of a headless weston. Nothing here
# can move the keyboard focus or type into a Wayland window, so this only checks that each
# browser's add-on connects and gives its tab and page text.
if command -v weston >/dev/null; then
  echo "== with the add-on on Wayland (weston, headless)"
  kill "$firefox_pid" "$chromium_pid" 2>/dev/null || true
  sleep 2
  weston --backend=headless-backend.so --socket=corvane-check >/dev/null 2>&1 &
  pids+=($!)
  sleep 2
  wayland=(env -u DISPLAY WAYLAND_DISPLAY=corvane-check MOZ_ENABLE_WAYLAND=1)
  report_env=(env -u DISPLAY)
  "${wayland[@]}" firefox-esr --no-remote --profile "$HOME/firefox" "$(page two)" >/dev/null 2>&1 &
  pids+=($!)
  step; expect "Wayland: Firefox alone" Firefox "$(page two)"
  "${wayland[@]}" chromium "${chromium_addon_flags[@]}" --ozone-platform=wayland "$(page script)" >/dev/null 2>&1 &
  pids+=($!)
  step; expect "Wayland: Chromium started last" Chromium "$(page script)"
  expect_script_text Wayland
else
  echo "== no weston: the Wayland run is skipped"
fi
"$corvane" --disconnect-browsers
failures=$((failures + wrong_steps))
[ "$failures" -eq 0 ] || { echo "$failures step(s) failed"; exit 1; }
