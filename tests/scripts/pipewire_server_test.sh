#!/usr/bin/env bash
# scripts/pipewire-server starts a private PipeWire server that answers as PipeWire's
# PulseAudio front end, and ends only what it started: stops that name any other folder
# are refused, and after a stop none of its processes is left. Exit 77: skipped.
set -euo pipefail
cd "$(dirname "$0")/../.."
for program in pipewire wireplumber pipewire-pulse dbus-daemon pactl; do
  command -v "$program" >/dev/null || {
    echo "$program is not installed"
    exit 77
  }
done

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
ours=""
cleanup() { if [[ -n "$ours" && -d "$ours" ]]; then scripts/pipewire-server stop "$ours" || true; fi; }
trap cleanup EXIT

ours=$(scripts/pipewire-server start)
[[ "$(basename "$ours")" == tessaron-pipewire.* ]] || fail "start printed '$ours'"
XDG_RUNTIME_DIR=$ours pactl info | grep -q "^Server Name: PulseAudio (on PipeWire" || fail "the server does not answer as PipeWire"
XDG_RUNTIME_DIR=$ours pactl info | grep -q "^Default Source: tessaron_test.monitor" || fail "the test sink's monitor is not the default source"
mapfile -t pids < <(cut -d' ' -f1 "$ours/pids")
[[ ${#pids[@]} -eq 4 ]] || fail "start recorded ${#pids[@]} processes"

# Stops that name anything but our folder are refused and end nothing.
for refused in "" "$(dirname "$ours")" /tmp; do
  if scripts/pipewire-server stop "$refused" 2>/dev/null; then fail "stop '$refused' was accepted"; fi
done
for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null || fail "a refused stop ended process $pid"; done

scripts/pipewire-server stop "$ours"
for pid in "${pids[@]}"; do ! kill -0 "$pid" 2>/dev/null || fail "process $pid still runs after stop"; done
[[ ! -e "$ours" ]] || fail "stop left $ours behind"
ours=""
echo "ok"
