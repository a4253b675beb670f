#!/usr/bin/env bash
# Builds one Debian package, checks it with lintian and unpacks it (no root install needed) to try
# what it holds. Not part of CI: packaging is checked by hand before a release.
#   scripts/check-package.sh server|client [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
component=${1:?server or client}
build=${2:-build}

case $component in
  server) package_name=corvane-server targets=(corvane-server) ;;
  client) package_name=corvane targets=(corvane corvane_addon corvane_host_manifests) ;;
  *) echo "unknown component: $component" >&2; exit 2 ;;
esac
# shellcheck source=check-common.sh
source "$root/scripts/check-common.sh" lintian desktop-file-utils python3

cmake --build "$build" --target "${targets[@]}" corvane_doc_files
(cd "$build" && cpack -G DEB -D CPACK_COMPONENTS_ALL="$component")
package=$(ls -t "$build/${package_name}"_*.deb | head -n 1)
echo "checking $package"
lintian --fail-on error "$package"
dpkg-deb -x "$package" "$work/root"

check_server() {
  if command -v systemd-analyze >/dev/null; then
    systemd-analyze security --offline=yes "$work/root/usr/lib/systemd/system/corvane-server.service" || true
  fi
}

check_client() {
  desktop-file-validate "$work/root"/usr/share/applications/*.desktop
  mkdir -p "$work/home" "$work/home/runtime"
  chmod 700 "$work/home/runtime"
  env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_RUNTIME_DIR="$work/home/runtime" QT_QPA_PLATFORM=offscreen \
    timeout 30 "$work/root/usr/bin/corvane" --capture-report >"$work/report.json"
  python3 - "$work/report.json" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
assert isinstance(report["runningSupportedBrowsers"], list) and "browserAddOn" in report, report
print("capture report answered")
PY
  # The per-user registration, from the unpacked program, must write what the package installs.
  mkdir -p "$work/home/.config/chromium" "$work/home/.mozilla"
  HOME="$work/home" "$work/root/usr/bin/corvane" --connect-browsers
  python3 - "$work/root" "$work/home" <<'PY'
import base64, hashlib, json, os, sys, zipfile
root, home = sys.argv[1], sys.argv[2]
addon = json.load(open(f"{root}/usr/share/corvane/browser-extension/manifest.json"))
# The Chromium family's extension id: the first 128 bits of the key's SHA-256, in letters a-p.
digest = hashlib.sha256(base64.b64decode(addon["key"])).hexdigest()[:32]
extension_id = "".join(chr(ord("a") + int(c, 16)) for c in digest)
with zipfile.ZipFile(f"{root}/usr/share/corvane/corvane-bridge.xpi") as xpi:
    gecko_id = json.loads(xpi.read("manifest.json"))["browser_specific_settings"]["gecko"]["id"]
folders = {
    "etc/chromium/native-messaging-hosts": (".config/chromium/NativeMessagingHosts", "allowed_origins", f"chrome-extension://{extension_id}/"),
    "etc/opt/chrome/native-messaging-hosts": (".config/chromium/NativeMessagingHosts", "allowed_origins", f"chrome-extension://{extension_id}/"),
    "usr/lib/mozilla/native-messaging-hosts": (".mozilla/native-messaging-hosts", "allowed_extensions", gecko_id),
}
for folder, (user_folder, key, caller) in folders.items():
    [name] = os.listdir(f"{root}/{folder}")
    manifest = json.load(open(f"{root}/{folder}/{name}"))
    assert name == manifest["name"] + ".json", (folder, name)
    assert manifest["path"] == "/usr/bin/corvane" and os.access(root + manifest["path"], os.X_OK), manifest
    assert manifest[key] == [caller], (folder, manifest)
    user = json.load(open(f"{home}/{user_folder}/{name}"))
    assert user == dict(manifest, path=f"{root}/usr/bin/corvane"), (folder, user, manifest)
print("host manifests name /usr/bin/corvane and the add-on's identity, as the per-user ones do")
PY
}

"check_$component"
