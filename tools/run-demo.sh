#!/usr/bin/env bash
# Runs the program against the simulated web.
#
#   tools/run-demo.sh BUILD_DIR
#
# Starts BUILD_DIR's simweb on a free loopback port, points the program at it
# through http_proxy and starts the window. Without a display the window runs
# on a virtual X display, and the script walks through a typical use as a
# person would, with clicks through the X server: it ticks three list sources,
# presses Get Lists, ticks four rank sources, presses Rank Lists, clicks a
# ticker cell of the results, asks for its opinion and deletes the bottom
# quarter. One rank site (Zacks) answers 500, so its source stops at its first
# ticker and its check box's tooltip says so. A screenshot of each step and
# tab goes to out/ (out/NN-step.png, message boxes as out/NN-message.png;
# out/veltrop.png is the last state).
# Then it keeps running until Ctrl-C, or for VELTROP_DEMO_SECONDS seconds when
# that is set.
#
# VELTROP_APP and VELTROP_SIMWEB name other programs to run instead of the
# build's, such as an installed package's (/usr/bin/veltrop and
# /usr/bin/veltrop-simweb); with both set, BUILD_DIR may be left out.
set -euo pipefail

if [[ $# -gt 1 || ($# -eq 0 && (-z ${VELTROP_APP:-} || -z ${VELTROP_SIMWEB:-})) ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-.}" && pwd)
simweb=${VELTROP_SIMWEB:-$build/tools/simweb/simweb}
app=${VELTROP_APP:-$build/app/gui/veltrop}
for program in "$simweb" "$app"; do
    [[ -x $program ]] || { echo "missing $program: build first (make build)" >&2; exit 1; }
done
echo "Program: $app"

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

# ---- The walk-through on the virtual display ---------------------------------
# Places come from the window's layout (app/layout.cpp), in twips; the window
# is laid out at its screen's logical resolution, so its pixel size against the
# layout's client size (7575 x 4845 twips) gives the scale. Controls on a tab
# page are placed from the tab control's corner (180, 120).
readonly client_width=7575 client_height=4845 tab_left=180 tab_top=120 tab_width=5535
window_id=""
win_w=0
win_h=0
shot_number=0

px() { awk -v t="$1" -v p="$2" -v c="$3" 'BEGIN { printf "%d", t * p / c + 0.5 }'; }
x_of() { px "$1" "$win_w" "$client_width"; }
y_of() { px "$1" "$win_h" "$client_height"; }

click_at() {
    xdotool mousemove --window "$window_id" "$1" "$2" click 1
    sleep 0.4
}
# A control on the window: its left, top, width and height in twips.
click_control() {
    click_at "$(x_of $(($1 + $3 / 2)))" "$(y_of $(($2 + $4 / 2)))"
}
# A check box on a tab page, clicked on its tick square.
tick_box() {
    click_at "$(($(x_of $((tab_left + $1))) + 7))" "$(y_of $((tab_top + $2 + 127)))"
}
# Page n (0 Lists, 1 Ranks, 2 Results, 3 Opinion, 4 Options) of the five
# tabs, which share the strip's width equally.
show_page() {
    click_at "$(($(x_of "$tab_left") + ($(x_of "$tab_width") * (2 * $1 + 1)) / 10))" "$(($(y_of "$tab_top") + 10))"
}

shoot() {
    shot_number=$((shot_number + 1))
    local file
    file=$(printf '%s/out/%02d-%s.png' "$root" "$shot_number" "$1")
    import -window "$window_id" "$file"
    echo "  $file"
}

# Message boxes carry the application title; each is pictured, then closed.
dismiss_messages() {
    local box
    for box in $(xdotool search --onlyvisible --name "^Pellamy's Veltrop\$" 2>/dev/null); do
        shot_number=$((shot_number + 1))
        import -window root "$(printf '%s/out/%02d-message.png' "$root" "$shot_number")"
        xdotool windowfocus --sync "$box" 2>/dev/null || true
        xdotool key --clearmodifiers Return
        sleep 0.5
    done
}

# The status label as it shows "Idle..." at rest, to tell when a command ended.
status_crop() { import -window "$window_id" -crop "$(x_of 1845)x$(y_of 255)+$(x_of 180)+$(y_of 4530)" +repage "$1"; }

status_idle() {
    status_crop "$work/now.png"
    compare -metric AE "$work/idle.png" "$work/now.png" null: 2>/dev/null
}

# Waits for a command to end: first, for at most $2 seconds (default 5), until
# the status label shows it running (a window busy from the click on may not
# have drawn it yet), then until the label is back at rest, closing message
# boxes on the way; at most $1 seconds.
wait_idle() {
    local limit=$(($1 * 2)) n
    for ((n = 0; n < ${2:-5} * 4; n++)); do
        status_idle || break
        sleep 0.25
    done
    for ((n = 0; n < limit; n++)); do
        dismiss_messages
        if status_idle; then
            sleep 0.5
            dismiss_messages
            return 0
        fi
        sleep 0.5
    done
    echo "  (still busy after $1 seconds)"
    return 0
}

walk_through() {
    local geometry
    for ((n = 0; n < 100; n++)); do
        window_id=$(xdotool search --onlyvisible --name "^Pellamy's Veltrop v1\.4\$" 2>/dev/null | head -n 1) || true
        [[ -n $window_id ]] && break
        sleep 0.1
    done
    if [[ -z $window_id ]]; then
        echo "The window was not found on $DISPLAY."
        return 1
    fi
    geometry=$(xdotool getwindowgeometry --shell "$window_id")
    win_w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    win_h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
    echo "Walking through a typical use (window ${win_w}x${win_h}):"
    dismiss_messages
    status_crop "$work/idle.png"
    shoot lists-at-start

    # Nasdaq 100, Barchart Top 100 Signal and CNET Momentum 100.
    tick_box 240 1755
    tick_box 240 3030
    tick_box 240 2520
    shoot lists-ticked
    click_control 6120 255 1110 315      # Get Lists
    wait_idle 120
    shoot get-lists

    show_page 1
    # CNET Momentum, Telescan Short Term Growth, Telescan Analyst, Zacks.
    tick_box 240 480
    tick_box 240 990
    tick_box 240 1755
    tick_box 2895 990
    shoot ranks-ticked
    click_control 6120 960 1110 315      # Rank Lists
    wait_idle 600
    shoot rank-lists
    # The failing source's report, in its check box's tooltip.
    xdotool mousemove --window "$window_id" "$(($(x_of $((tab_left + 2895))) + 40))" "$(y_of $((tab_top + 990 + 127)))"
    sleep 2
    shot_number=$((shot_number + 1))
    import -window root -crop "$((win_w + 120))x$((win_h + 10))+$(sed -n 's/^X=//p' <<<"$geometry")+$(sed -n 's/^Y=//p' <<<"$geometry")" +repage \
        "$(printf '%s/out/%02d-rank-report-tooltip.png' "$root" "$shot_number")"
    xdotool mousemove --window "$window_id" 5 5

    show_page 2
    shoot results
    # A ticker cell (column 0, 1000 twips wide) a few rows down the grid,
    # below its header row.
    click_at "$(($(x_of $((tab_left + 390 + 500)))))" "$(($(y_of $((tab_top + 570))) + 24 + $(y_of 240) * 2 + $(y_of 120)))"
    shoot ticker-clicked
    click_control 6150 1695 1110 315     # Opinion
    wait_idle 90 2
    show_page 3
    shoot opinion

    show_page 2
    click_control 5880 4200 1560 255     # Delete bottom 25%
    sleep 1
    dismiss_messages
    shoot delete-bottom-25

    show_page 4
    shoot options
    show_page 2
    return 0
}

"$simweb" --port 0 --port-file "$work/port" --fault /reports/reports.php3=servererror >"$work/simweb.log" 2>&1 &
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
    if command -v import >/dev/null && command -v xdotool >/dev/null && command -v compare >/dev/null; then
        walk_through || echo "The walk-through stopped early; the window keeps running."
        import -window root "$root/out/veltrop.png"
        echo "Screenshots of the walk-through: $root/out/"
    elif command -v import >/dev/null; then
        import -window root "$root/out/veltrop.png"
        echo "Screenshot: $root/out/veltrop.png (no walk-through: xdotool is not installed)"
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
