#!/usr/bin/env bash
# Opens TLX-1 Steuerung against the module simulator: tlx1sim runs on a pseudo-terminal that is
# mapped to COM 1, the program runs in demo-run/ so its settings file lands there and not in the
# source tree. The simulator stops when the window is closed.
#
# Environment: TLX1_BUILD_DIR (default: build), TLX1_DEMO_SECONDS (close the program after that many
# seconds, for unattended runs such as under xvfb-run; the settings file is then not written).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TLX1_BUILD_DIR:-$root/build}"
sim="$build/sim/tlx1sim"
app="$build/app/tlx1steuerung"
run="$root/demo-run"

for exe in "$sim" "$app"; do
    if [[ ! -x "$exe" ]]; then
        echo "demo: $exe is missing; run 'make build' first (or 'make demo', which builds)." >&2
        exit 1
    fi
done

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "demo: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "      Run it on a desktop, or on a virtual X display with:" >&2
    echo "          xvfb-run -a make demo" >&2
    echo "      (add TLX1_DEMO_SECONDS=30 to end it by itself after 30 s)." >&2
    exit 1
fi

mkdir -p "$run"
link="$run/tlx1-com1"
log="$run/tlx1sim.log"
# Commands for the simulator while the demo runs, e.g. echo "fault silent" > demo-run/tlx1sim.cmd
commands="$run/tlx1sim.cmd"
rm -f "$commands"
mkfifo "$commands"

# One module at address 1 with the plant running, 9600-baud timing as on a real line. The command
# pipe is opened for reading and writing, so the simulator never sees its end.
"$sim" --pace --link "$link" <>"$commands" >"$log" 2>&1 &
sim_pid=$!
app_pid=""
stop() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$commands"
}
trap stop EXIT
trap 'exit 130' INT TERM

# The simulator is up once its link exists; wait at most 10 s.
for _ in $(seq 100); do
    [[ -e "$link" ]] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "demo: tlx1sim ended at start; see $log" >&2
        exit 1
    fi
    sleep 0.1
done
if [[ ! -e "$link" ]]; then
    echo "demo: tlx1sim did not come up within 10 s; see $log" >&2
    exit 1
fi

echo "demo: simulator on $(readlink "$link") as COM 1 (log: $log)"
echo "demo: to make the module silent: echo 'fault silent' > $commands (back: echo 'fault none' > $commands)"
echo "demo: every value written to the module is recorded in ${XDG_STATE_HOME:-$HOME/.local/state}/tlx1steuerung/protokoll.csv (tlx1ctl log prints it)"
echo "demo: starting the program in $run; close its window to end the demo."
cd "$run"
export TLX1_COM1="$link"
if [[ -n "${TLX1_DEMO_SECONDS:-}" ]]; then
    "$app" &
    app_pid=$!
    ( sleep "$TLX1_DEMO_SECONDS"; kill "$app_pid" 2>/dev/null ) &
    timer_pid=$!
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    kill "$timer_pid" 2>/dev/null || true
    wait "$timer_pid" 2>/dev/null || true
    [[ $status -eq 143 ]] && status=0   # ended by the timer
    exit "$status"
else
    "$app"
fi
