#!/usr/bin/env bash
# Time from a fresh clone to the first window: clones the repository (default:
# this checkout's committed state) into a temporary folder, runs the README's
# start command ./scripts/run.sh there on a private X server (Xvfb) and prints
# the seconds until the "Quick Start" window is mapped.
#
#   bench/firstwindow.sh [--cold] [REPOSITORY]
#   bench/firstwindow.sh --built [ROUNDS]
#
# --built times the program already built by the start command
# (build-app/src/quillpg): from its start to the "Quick Start" window, ROUNDS
# times (default 5) with one private home, so the first round makes the
# office's profile and the others find it, as a user's second start does.
# The office is started before any window, so each figure includes it.
# --cold builds without the compiler cache (CCACHE_DISABLE=1), as on a machine
# that never built Quillpage; otherwise ccache serves what it holds. The
# program runs with a home folder of its own, so the user's settings and
# office profiles are never touched.
set -euo pipefail
cold=0 built=0
if [[ "${1:-}" == --built ]]; then
    built=1
    shift
elif [[ "${1:-}" == --cold ]]; then
    cold=1
    shift
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
repo=${1:-$root}
for tool in Xvfb xdotool git; do
    command -v "$tool" >/dev/null || { echo "firstwindow: $tool is needed" >&2; exit 2; }
done

work=$(mktemp -d /tmp/quillpg-firstwindow.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
    local pid
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The compiler cache stays the user's own (a fresh clone reuses it); the rest
# of the program's folders lie in the private home.
if command -v ccache >/dev/null; then
    export CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"
fi
((cold)) && export CCACHE_DISABLE=1
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
mkdir -p "$HOME"

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r display <"$work/display"
export DISPLAY=":$display"
unset QT_QPA_PLATFORM

# Waits for the "Quick Start" window of the program started as $app_pid.
await_window() {
    until xdotool search --onlyvisible --name '^Quick Start$' >/dev/null 2>&1; do
        if ! kill -0 "$app_pid" 2>/dev/null; then
            echo "firstwindow: the program ended before a window appeared:" >&2
            tail -20 "$work/run.log" >&2
            exit 1
        fi
        sleep 0.02
    done
}

if ((built)); then
    program=$root/build-app/src/quillpg
    [[ -x $program ]] || "$root/scripts/setup.sh" --app "$root/build-app" >/dev/null
    for round in $(seq 1 "${1:-5}"); do
        start=$(date +%s.%N)
        "$program" >"$work/run.log" 2>&1 &
        app_pid=$!
        await_window
        end=$(date +%s.%N)
        printf 'round %d: first window after %.2f s (load average %s)\n' "$round" \
            "$(echo "$end - $start" | bc)" "$(cut -d' ' -f1 /proc/loadavg)"
        kill "$app_pid"
        wait "$app_pid" 2>/dev/null || true
        app_pid=
    done
    exit 0
fi

start=$(date +%s.%N)
git -c advice.detachedHead=false clone -q "$repo" "$work/quillpage"
(cd "$work/quillpage" && exec ./scripts/run.sh) >"$work/run.log" 2>&1 &
app_pid=$!
await_window
end=$(date +%s.%N)
# The processor time of the start command and everything it waited for (the
# build), which a busy machine does not stretch as it stretches the wall time.
read -r -a stat <"/proc/$app_pid/stat"
cpu=$(echo "(${stat[13]} + ${stat[14]} + ${stat[15]} + ${stat[16]}) / $(getconf CLK_TCK)" | bc -l)
built=$(grep -c '^\[[0-9]*/[0-9]*\]' "$work/run.log" || true)
printf 'first window after %.1f s, %.1f s of processor time (%s, %s build steps, load average %s)\n' \
    "$(echo "$end - $start" | bc)" "$cpu" "$( ((cold)) && echo 'no compiler cache' || echo 'compiler cache')" \
    "$built" "$(cut -d' ' -f1-3 /proc/loadavg)"
