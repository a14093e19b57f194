#!/bin/sh
# Installs the build into a temporary prefix with a space in its name and checks the layout, the
# menu entry, and that the installed copy plays a format of its plug-in when started through its
# link from elsewhere. With "deb" it also builds the Debian package and checks its contents.
# usage: InstallTest.sh BUILD_DIR FLAC_FILE [deb]
set -eu
build=$(cd "$1" && pwd)
flac=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
mode=${3:-}
root=$(mktemp -d "${TMPDIR:-/tmp}/melvo-install-XXXXXX")
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$root/my prefix"
"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >"$root/install.log" 2>&1 || {
  cat "$root/install.log" >&2
  fail "cmake --install"
}

# The program folder and the links into it.
for f in melvo b_ffx.so "sound on.png" melvo-play; do
  [ -e "$prefix/lib/melvo/$f" ] || fail "lib/melvo/$f is missing"
done
[ -x "$prefix/lib/melvo/melvo" ] || fail "lib/melvo/melvo is not executable"
[ "$(readlink "$prefix/bin/melvo")" = "../lib/melvo/melvo" ] || fail "bin/melvo is no link to the program"
[ -x "$prefix/bin/melvo-services" ] || fail "bin/melvo-services is missing"
for s in 16 24 32 48 64 128 256; do
  [ -s "$prefix/share/icons/hicolor/${s}x${s}/apps/melvo.png" ] || fail "no ${s}px icon"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/melvo.svg" ] || fail "no scalable icon"
[ -s "$prefix/share/mime/packages/melvo.xml" ] || fail "no MIME package"

# The menu entry starts the installed link, quoted for the space in the prefix.
entry="$prefix/share/applications/melvo.desktop"
grep -qxF "Exec=\"$prefix/bin/melvo\" %f" "$entry" || fail "Exec of the menu entry: $(grep ^Exec "$entry")"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate"
fi

# Moved as a whole, started through the link from another folder, with no plug-in folder given:
# the plug-in is found beside the resolved program file and the FLAC file plays.
mv "$prefix" "$root/moved"
cd "$root"
out=$(env -u MELVO_PLUGIN_DIR MELVO_AUDIO_DEVICE=nosound SDL_AUDIODRIVER=dummy \
  "$root/moved/bin/melvo-play" --quiet --for 0.3 "$flac" 2>&1) || fail "melvo-play: $out"
echo "$out" | grep -q "state 1002" || fail "the FLAC file did not play: $out"

# The installed player started through its link: it registers the resolved program file with the
# desktop and appears as a media player on a bus of this test's own.
home="$root/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
bus_pid=
if command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$root/bus" 2>/dev/null || true
  bus_address=$(sed -n 1p "$root/bus")
  bus_pid=$(sed -n 2p "$root/bus")
fi
XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
  DBUS_SESSION_BUS_ADDRESS="${bus_address:-disabled:}" QT_QPA_PLATFORM=offscreen \
  MELVO_AUDIO_DEVICE=nosound SDL_AUDIODRIVER=dummy MELVO_STAT_HOST=127.0.0.1:9 \
  MELVO_WEB_HOST=127.0.0.1:9 MELVO_SEARCH_HOST=127.0.0.1:9 \
  "$root/moved/bin/melvo" "$flac" >"$root/player.log" 2>&1 &
player=$!
stop_player() {
  kill "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  [ -z "$bus_pid" ] || kill "$bus_pid" 2>/dev/null || true
}
trap 'stop_player; rm -rf "$root"' EXIT
registered="$home/data/applications/melvo.desktop"
i=0
while [ ! -s "$registered" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
grep -qxF "Exec=$root/moved/lib/melvo/melvo %f" "$registered" ||
  fail "the started copy did not register its program file: $(cat "$registered" "$root/player.log" 2>&1)"
if [ -n "$bus_pid" ] && command -v playerctl >/dev/null; then
  i=0
  until DBUS_SESSION_BUS_ADDRESS=$bus_address playerctl -l 2>/dev/null | grep -qx melvo; do
    [ $i -lt 100 ] || fail "the started copy is not on the bus"
    sleep 0.05
    i=$((i + 1))
  done
  # The file named on the command line plays.
  i=0
  until [ "$(DBUS_SESSION_BUS_ADDRESS=$bus_address playerctl -p melvo status 2>/dev/null)" = Playing ]; do
    [ $i -lt 100 ] || fail "the started copy does not play its file: $(cat "$root/player.log")"
    sleep 0.05
    i=$((i + 1))
  done
fi
stop_player

if [ "$mode" = deb ]; then
  command -v "${CPACK:-cpack}" >/dev/null && command -v dpkg-deb >/dev/null || { echo "no cpack/dpkg-deb"; exit 0; }
  (cd "$build" && "${CPACK:-cpack}" -B "$root/package" >"$root/cpack.log" 2>&1) || {
    cat "$root/cpack.log" >&2
    fail cpack
  }
  deb=$(ls "$root"/package/*.deb)
  list=$(dpkg-deb -c "$deb")
  for p in ./usr/lib/melvo/melvo ./usr/lib/melvo/b_ffx.so "./usr/lib/melvo/sound on.png" \
    ./usr/bin/melvo-services ./usr/share/applications/melvo.desktop \
    ./usr/share/icons/hicolor/48x48/apps/melvo.png ./usr/share/mime/packages/melvo.xml; do
    echo "$list" | grep -qF " $p" || fail "the package lacks $p"
  done
  echo "$list" | grep -qF "./usr/bin/melvo -> ../lib/melvo/melvo" || fail "the package lacks the bin/melvo link"
  depends=$(dpkg-deb -f "$deb" Depends)
  for d in qt6-qpa-plugins libqt6core6 libavformat libsdl2; do
    echo "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
  done
  dpkg-deb -x "$deb" "$root/deb"
  grep -qxF 'Exec=/usr/bin/melvo %f' "$root/deb/usr/share/applications/melvo.desktop" ||
    fail "Exec of the packaged entry"
fi
echo "install test passed"
