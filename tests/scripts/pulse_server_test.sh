#!/usr/bin/env bash
# scripts/pulse-server ends only what it started: a PulseAudio server started elsewhere
# (as a desktop's own one would be) survives every stop, and a start whose server never
# answers leaves no process and no folder behind. Exit 77: skipped.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
  echo "pulseaudio and pactl are not installed"
  exit 77
fi

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
answers() { XDG_RUNTIME_DIR=$1 pactl info >/dev/null 2>&1; }

# The other server, in a folder of its own, as a desktop session would have it.
other=$(mktemp -d)
chmod 700 "$other"
XDG_RUNTIME_DIR=$other pulseaudio --daemonize=no --exit-idle-time=-1 -n \
  --load=module-native-protocol-unix --log-target=stderr </dev/null >/dev/null 2>&1 &
other_pid=$!
ours=""
cleanup() {
  kill "$other_pid" 2>/dev/null || true
  wait "$other_pid" 2>/dev/null || true
  rm -rf "$other"
  if [[ -n "$ours" && -d "$ours" ]]; then scripts/pulse-server stop "$ours" || true; fi
}
trap cleanup EXIT
for _ in $(seq 300); do
  answers "$other" && break
  sleep 0.1
done
answers "$other" || fail "the other server did not start"

ours=$(XDG_RUNTIME_DIR=$other scripts/pulse-server start)
[[ "$(basename "$ours")" == tessaron-pulse.* ]] || fail "start printed '$ours'"
answers "$ours" || fail "our server does not answer"
pid=$(cat "$ours/pid")

# Stops that name anything but our folder are refused, the desktop's case above all:
# XDG_RUNTIME_DIR naming the other server and no folder given.
for refused in "" "$other" "$(dirname "$ours")"; do
  if XDG_RUNTIME_DIR=$other scripts/pulse-server stop "$refused" 2>/dev/null; then
    fail "stop '${refused:-(XDG_RUNTIME_DIR of the other server)}' was accepted"
  fi
done
answers "$other" || fail "a refused stop ended the other server"
answers "$ours" || fail "a refused stop ended our server"

XDG_RUNTIME_DIR=$other scripts/pulse-server stop "$ours"
! kill -0 "$pid" 2>/dev/null || fail "our server (pid $pid) still runs after stop"
[[ ! -e "$ours" ]] || fail "stop left $ours behind"
answers "$other" || fail "stop ended the other server"
ours=""

# A server that never answers: start ends it, says so and removes its folder.
fake=$(mktemp -d)
printf '#!/bin/sh\necho "$XDG_RUNTIME_DIR" >"%s/dir"\necho $$ >"%s/pid"\nexec sleep 600\n' "$fake" "$fake" >"$fake/pulseaudio"
chmod +x "$fake/pulseaudio"
if message=$(PATH=$fake:$PATH TESSARON_PULSE_WAIT=2 scripts/pulse-server start 2>&1 >/dev/null); then
  fail "start reported success for a server that never answered"
fi
grep -q "did not answer" <<<"$message" || fail "start did not say why it failed: $message"
for _ in $(seq 50); do [[ -s "$fake/pid" ]] && break; sleep 0.1; done
! kill -0 "$(cat "$fake/pid")" 2>/dev/null || fail "start left the silent server running"
[[ ! -e "$(cat "$fake/dir")" ]] || fail "start left its folder $(cat "$fake/dir") behind"
rm -rf "$fake"
echo "scripts/pulse-server ends only what it started"
