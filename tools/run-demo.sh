#!/usr/bin/env bash
# Runs the program against the simulated web.
#
#   tools/run-demo.sh BUILD_DIR
#
# Starts BUILD_DIR's simweb on a free loopback port, points the program at it
# through http_proxy and starts the window. Without a display the window runs
# on a virtual X display and a screenshot goes to out/veltrop.png. Runs until
# Ctrl-C, or for VELTROP_DEMO_SECONDS seconds when that is set.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
simweb=$build/tools/simweb/simweb
app=$build/app/gui/veltrop
for program in "$simweb" "$app"; do
    [[ -x $program ]] || { echo "missing $program: build first (make build)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
stop_all() {
    # Newest first: the window, then the display it draws on, then the web.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Waits up to $2 tenths of a second for file $1 to have content.
wait_for_file() {
    for ((n = 0; n < $2; n++)); do
        [[ -s $1 ]] && return 0
        sleep 0.1
    done
    return 1
}

"$simweb" --port 0 --port-file "$work/port" >"$work/simweb.log" 2>&1 &
pids+=($!)
if ! wait_for_file "$work/port" 100; then
    echo "simweb did not start:" >&2
    cat "$work/simweb.log" >&2
    exit 1
fi
export http_proxy="http://127.0.0.1:$(cat "$work/port")"
unset no_proxy NO_PROXY
echo "Simulated web: $http_proxy"

headless=false
if [[ -z ${DISPLAY:-} ]]; then
    headless=true
    # -displayfd makes Xvfb pick a free display and tell us its number.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    if ! wait_for_file "$work/display" 100; then
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
    echo "Virtual display: $DISPLAY"
fi

"$app" >"$work/veltrop.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
sleep 4
if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "The program ended early:" >&2
    cat "$work/veltrop.log" >&2
    exit 1
fi

if $headless; then
    mkdir -p "$root/out"
    if command -v import >/dev/null; then
        import -window root "$root/out/veltrop.png"
        echo "Screenshot: $root/out/veltrop.png"
    else
        echo "No screenshot: ImageMagick's import is not installed."
    fi
    echo "The window runs on the virtual display $DISPLAY. To watch and use it, run"
    echo "x11vnc -display $DISPLAY -localhost and connect a VNC viewer to localhost:5900,"
    echo "or run 'make run' on a machine with a display."
else
    echo "The window is open on $DISPLAY."
fi

if [[ -n ${VELTROP_DEMO_SECONDS:-} ]]; then
    echo "Running for $VELTROP_DEMO_SECONDS seconds."
    for ((s = 0; s < VELTROP_DEMO_SECONDS; s++)); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 1
    done
else
    echo "Press Ctrl-C to stop."
    wait "$app_pid" || true
fi
