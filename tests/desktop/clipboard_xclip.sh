#!/bin/sh
# Files through the X clipboard between the program and another program
# (xclip), on a virtual X server with a window manager, driven by keys as a
# user drives it:
#   - files another program copied (x-special/gnome-copied-files, one name
#     not UTF-8) are pasted with Ctrl+V into the column's directory, and a
#     file it cut is moved and the clipboard emptied;
#   - Ctrl+C and Ctrl+X here are read back by xclip as "copy" and "cut" lists;
#   - SIGTERM closes the program with exit code 0 and its options written.
#
# Usage: clipboard_xclip.sh PROGRAM [SCREENSHOT.png]
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).

set -u

program=${1:?usage: clipboard_xclip.sh PROGRAM [SCREENSHOT.png]}
shot=${2:-}

for tool in xvfb-run xclip xdotool openbox xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

if [ -z "${CLIPBOARD_XCLIP_INSIDE:-}" ]; then
  CLIPBOARD_XCLIP_INSIDE=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi

work=$(mktemp -d)
program_pid=
openbox_pid=
cleanup() {
  [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null
  # xclip serves the selection until another program owns it.
  printf '' | xclip -selection clipboard -i 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  [ -n "$shot" ] && command -v import >/dev/null 2>&1 && import -window root "$shot"
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  tries=$1
  shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# A private home: column 1 of the first board shows its documents directory.
export HOME="$work/user"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
export CORVANTIDE_HOME="$work/data"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME/Documents" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/src"
chmod 700 "$XDG_RUNTIME_DIR"
documents="$HOME/Documents"
printf 'here' >"$documents/here.txt"
printf 'a' >"$work/src/a.txt"
printf 'b' >"$work/src/b.txt"
printf 'raw' >"$work/src/caf$(printf '\351').txt"

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
openbox >/dev/null 2>&1 &
openbox_pid=$!
wait_for 100 wm_ready || fail "the window manager did not start"

"$program" >"$work/program.log" 2>&1 &
program_pid=$!
wait_for 200 xdotool search --onlyvisible --name '^Corvantide' || fail "no main window"
# A fresh data root greets with the wizard; Escape answers it as a user would.
wait_for 100 xdotool search --onlyvisible --name '^Configuration and help wizard' ||
  fail "no first-run wizard"
wizard=$(xdotool search --onlyvisible --name '^Configuration and help wizard' | head -n 1)
xdotool windowactivate --sync "$wizard" 2>/dev/null || xdotool windowfocus --sync "$wizard"
xdotool key --clearmodifiers Escape
wait_for 100 sh -c "! xdotool search --onlyvisible --name '^Configuration and help wizard'" ||
  fail "the wizard stayed"
window=$(xdotool search --onlyvisible --name '^Corvantide' | head -n 1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"

# Another file manager copied two files.
printf 'copy\nfile://%s/a.txt\nfile://%s/caf%%E9.txt' "$work/src" "$work/src" |
  xclip -selection clipboard -i -t x-special/gnome-copied-files

# The first board starts in column 0 (partitions); Right goes to column 1.
# The window refuses keys while it waits for the file system, so a key may
# be lost: a paste that reached column 0 warns, one that was lost shows
# nothing, and both are tried again.
shown() { xdotool search --onlyvisible --name "$1"; }
xdotool key --clearmodifiers Right
attempt=0
while :; do
  attempt=$((attempt + 1))
  [ "$attempt" -le 5 ] || fail "Ctrl+V opened no file dialog"
  sleep 0.3
  xdotool key --clearmodifiers ctrl+v
  wait_for 30 shown '^(Copy|Warning)( |$)'
  shown '^Copy( |$)' >/dev/null && break
  if warning=$(shown '^Warning( |$)'); then
    xdotool windowactivate --sync "$(echo "$warning" | head -n 1)" 2>/dev/null
    xdotool key --clearmodifiers Return
    sleep 0.3
    xdotool key --clearmodifiers Right
  fi
done
dialog=$(shown '^Copy( |$)' | head -n 1)
[ -n "$shot" ] && command -v import >/dev/null 2>&1 && import -window root "$shot"
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers Return
wait_for 100 test -f "$documents/a.txt" || fail "a.txt was not pasted"
wait_for 50 test -f "$documents/caf$(printf '\351').txt" || fail "the name that is not UTF-8 was not pasted"
[ -f "$work/src/a.txt" ] || fail "a copy moved its source"
dialog_gone() { ! shown '^Copy( |$)'; }
wait_for 50 dialog_gone || fail "the file dialog stayed"

# Another file manager cut a file: the paste moves it and empties the clipboard.
printf 'cut\nfile://%s/b.txt' "$work/src" |
  xclip -selection clipboard -i -t x-special/gnome-copied-files
xdotool windowactivate --sync "$window" 2>/dev/null || true
attempt=0
while :; do
  attempt=$((attempt + 1))
  [ "$attempt" -le 5 ] || fail "Ctrl+V on a cut list opened no file dialog"
  sleep 0.3
  xdotool key --clearmodifiers ctrl+v
  wait_for 30 shown '^Move( |$)' && break
done
xdotool windowactivate --sync "$(shown '^Move( |$)' | head -n 1)" 2>/dev/null || true
xdotool key --clearmodifiers Return
wait_for 100 test -f "$documents/b.txt" || fail "b.txt was not moved"
[ ! -e "$work/src/b.txt" ] || fail "the cut file stayed in its place"
clipboard_empty() {
  [ -z "$(xclip -selection clipboard -o -t x-special/gnome-copied-files 2>/dev/null)" ]
}
wait_for 50 clipboard_empty || fail "the moved cut list is still on the clipboard"

# Every file of column 1 selected (Ctrl and the pad's +), then Ctrl+C; again
# while the column is still being read after the paste.
xdotool windowactivate --sync "$window" 2>/dev/null || true
all_copied() {
  for name in a.txt b.txt caf%E9.txt here.txt; do
    printf '%s\n' "$copied" | grep -qxF "file://$documents/$name" || return 1
  done
}
attempt=0
while :; do
  attempt=$((attempt + 1))
  xdotool key --clearmodifiers ctrl+KP_Add
  sleep 0.2
  xdotool key --clearmodifiers ctrl+c
  sleep 0.2
  copied=$(xclip -selection clipboard -o -t x-special/gnome-copied-files 2>/dev/null)
  all_copied && break
  [ "$attempt" -lt 10 ] || fail "Ctrl+C gave: $copied"
done
[ "$(printf '%s' "$copied" | head -n 1)" = copy ] || fail "Ctrl+C gave: $copied"
uris=$(xclip -selection clipboard -o -t text/uri-list 2>/dev/null)
printf '%s\n' "$uris" | tr -d '\r' | grep -qxF "file://$documents/caf%E9.txt" ||
  fail "text/uri-list lacks the raw name: $uris"

xdotool key --clearmodifiers ctrl+x
sleep 0.3
cut=$(xclip -selection clipboard -o -t x-special/gnome-copied-files 2>/dev/null)
[ "$(printf '%s' "$cut" | head -n 1)" = cut ] || fail "Ctrl+X gave: $cut"

# Ended from outside: the normal close, with the options written.
kill -TERM "$program_pid"
wait "$program_pid"
status=$?
program_pid=
[ "$status" -eq 0 ] || fail "exit code $status after SIGTERM"
[ -f "$CORVANTIDE_HOME/Options/Corvantide.ini" ] || fail "the options were not written"
echo "passed"
