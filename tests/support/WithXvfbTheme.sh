#!/usr/bin/env bash
# Runs a test program on an Xvfb display of its own, on Qt's xcb platform under the platform theme
# named, as a desktop loads it. Fails when Xvfb or the theme's plugin file is missing, rather than
# letting the program fall back to Qt's own theme; the program finds the plugin's path in
# TAVKEL_TEST_THEME_PLUGIN, to check that it was loaded. GTK's and the desktop's settings are read
# and written in a temporary home, never the user's.
#   WithXvfbTheme.sh THEME PLUGIN_FILE PROGRAM [ARGS...]
set -euo pipefail
theme=$1 plugin=$2
shift 2
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (Debian package xvfb)" >&2; exit 1; }
[ -f "$plugin" ] || { echo "the $theme platform theme's plugin $plugin is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavkel-xvfb-XXXXXX")
xvfb=""
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb takes a free display itself and writes its number once it accepts connections.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  grep -q '^[0-9]\+$' "$work/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
display=$(head -n 1 "$work/display" 2>/dev/null || true)
if [ -z "$display" ] || [ ! -S "/tmp/.X11-unix/X$display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

mkdir -m 700 "$work/home" "$work/runtime"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME="$theme"
export TAVKEL_TEST_THEME_PLUGIN="$plugin"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
# No session bus: its address leads nowhere, so that D-Bus does not try to start one; GTK keeps
# its settings in memory and leaves its accessibility bridge off.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# Bounded below ctest's limit, so that Xvfb is always ended here.
timeout -k 5 100 "$@"
