#!/usr/bin/env bash
# Starts the desktop program the way a user meets it: a private X display
# (Xvfb) with a window manager (openbox), a private session bus and the
# accessibility bus, a fresh home with a few real MP3 files and a stand-in
# default application; then drive_desktop.py runs the program through the
# accessibility bus and real keys and clicks. Every process started here is
# stopped on exit, whatever happened.
#
#   run_desktop.sh ONDRO ONDRO_CLI OUTPUT_DIR
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 ONDRO ONDRO_CLI OUTPUT_DIR" >&2
  exit 2
fi
ondro=$(realpath "$1")
cli=$(realpath "$2")
out=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")

for tool in Xvfb openbox dbus-daemon xdotool xprop import convert xdg-open /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null; then
    echo "missing $tool: run scripts/install-deps.sh" >&2
    exit 1
  fi
done

root=$(mktemp -d /tmp/ondro-e2e.XXXXXX)
started=()

cleanup() {
  local pid
  # The programs the driver started, should it have been stopped itself.
  if [ -s "$root/started.pids" ]; then
    while read -r pid; do kill -KILL "$pid" 2>/dev/null; done <"$root/started.pids"
  fi
  # Each process was started as the leader of its own group: the group
  # takes its children (the accessibility bus's daemon and registry) along.
  for pid in "${started[@]}"; do
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null
  done
  for _ in $(seq 20); do
    local alive=0
    for pid in "${started[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ $alive -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${started[@]}"; do
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null
  done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# start NAME COMMAND...: runs COMMAND in the background as its own group.
start() {
  local name=$1
  shift
  setsid "$@" >"$out/$name.log" 2>&1 &
  started+=("$!")
}

mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log "$out"/*.stderr # what an earlier run left

# A fresh user: home, XDG folders and the desktop's user folders.
export HOME=$root/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
export XDG_RUNTIME_DIR=$root/run
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" \
  "$HOME/Desktop" "$HOME/Documents" "$root/burn"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/user-dirs.dirs" <<'EOF'
XDG_DESKTOP_DIR="$HOME/Desktop"
XDG_DOCUMENTS_DIR="$HOME/Documents"
EOF
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE NO_AT_BRIDGE WAYLAND_DISPLAY \
  DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS QT_SCALE_FACTOR SESSION_MANAGER
export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# mp3 PATH TITLE ARTIST ALBUM YEAR GENRE: three MPEG frames and an ID3v1 tag.
mp3() {
  mkdir -p "$(dirname "$1")"
  {
    for _ in 1 2 3; do
      printf '\xff\xfb\x90\x64'
      head -c 413 /dev/zero
    done
    printf 'TAG%-30.30s%-30.30s%-30.30s%-4.4s%-30.30s' "$2" "$3" "$4" "$5" ""
    printf "\\x$6"
  } >"$1"
}
mp3 "$root/media/Rock/Song_One.mp3" "Song One" "The Band" "Live" 1999 11
mp3 "$root/media/Rock/Song_Two.mp3" "Song Two" "The Band" "Live" 1999 11
mp3 "$root/media/Jazz/Blue_Train.mp3" "Blue Train" "Trane" "Blue" 1957 08
# An old medium whose file names are not UTF-8: Latin-1, Windows-1251, Shift-JIS.
for name in 'Caf\xe9 Noir - Cr\xe8me' '\xcf\xf0\xe8\xe2\xe5\xf2' '\x83\x65\x83\x58\x83\x67'; do
  mp3 "$root/odd/$(printf "$name").mp3" "Odd" "Old Stick" "FAT" 2001 11
done
# A cover picture beside a file that is none, for the cover dialog.
convert -size 8x8 xc:red "$root/media/Front.png"
echo "liner notes" >"$root/media/Booklet.txt"

# The desktop's default application for playlists, pages, texts and MP3s:
# it only notes which file it was handed.
cat >"$root/player" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$root/opened.txt"
EOF
chmod +x "$root/player"
cat >"$XDG_DATA_HOME/applications/e2e-player.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=E2E Player
Exec=$root/player %f
MimeType=audio/x-mpegurl;application/vnd.apple.mpegurl;audio/mpeg;text/html;text/plain;
EOF
{
  echo '[Default Applications]'
  for type in audio/x-mpegurl application/vnd.apple.mpegurl audio/mpeg text/html text/plain; do
    echo "$type=e2e-player.desktop"
  done
} >"$XDG_CONFIG_HOME/mimeapps.list"

# The X display: Xvfb picks a free number and writes it to fd 3. A small
# screen, where a window sized to it at scale 1.25 leaves no room for its
# title bar.
exec 3>"$root/display"
start xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset
exec 3>&-
for _ in $(seq 100); do
  [ -s "$root/display" ] && break
  sleep 0.1
done
if [ ! -s "$root/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$out/xvfb.log" >&2
  exit 1
fi
export DISPLAY=:$(head -n1 "$root/display")

# A private session bus, then the accessibility bus on it.
exec 4>"$root/bus"
start dbus dbus-daemon --session --nofork --nopidfile --print-address=4
exec 4>&-
for _ in $(seq 100); do
  [ -s "$root/bus" ] && break
  sleep 0.1
done
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$root/bus")
if [ -z "$DBUS_SESSION_BUS_ADDRESS" ]; then
  echo "the session bus did not start:" >&2
  cat "$out/dbus.log" >&2
  exit 1
fi
export DBUS_SESSION_BUS_ADDRESS
start atspi /usr/libexec/at-spi-bus-launcher --launch-immediately

# The window manager is up when it has published its desktops.
start openbox openbox --sm-disable
for _ in $(seq 100); do
  xdotool get_num_desktops >/dev/null 2>&1 && break
  sleep 0.1
done
if ! xdotool get_num_desktops >/dev/null 2>&1; then
  echo "openbox did not start:" >&2
  cat "$out/openbox.log" >&2
  exit 1
fi

# The driver runs in the foreground so that a time limit or Ctrl+C ends
# it and then this script, whose trap stops the rest.
timeout -k 5 420 /usr/bin/python3 -B "$here/drive_desktop.py" \
  --ondro "$ondro" --cli "$cli" --out "$out" --work "$root"
status=$?
[ $status -eq 124 ] && echo "the driver ran out of time (420 s)"
exit $status
