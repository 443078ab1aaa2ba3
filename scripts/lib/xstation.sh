# Shared by scripts/screenshots and scripts/check-package: a private X
# display, the indicator simulator on a pseudo-terminal, and waiting for the
# program's windows. Source it; it defines functions only. Everything it
# starts is recorded in xstation_pids and stopped by xstation_stop, by PID.

xstation_pids=()

xstation_stop() {
    local pid
    for pid in "${xstation_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    xstation_pids=()
}

# Waits up to 10 s until `[ $1 $2 ]` holds (-e: the path exists, -s: the
# file is not empty); otherwise says $3 and fails.
xstation_await() {
    local _
    for _ in $(seq 1 200); do
        [ "$1" "$2" ] && return 0
        sleep 0.05
    done
    echo "$3" >&2
    return 1
}

# Starts Xvfb on a free display and exports DISPLAY. Any local user may
# connect (-ac), so that operators of other user IDs can share it; no TCP.
xstation_start_display() {
    local dir=$1 fd_file="$1/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$fd_file" 2>"$dir/xvfb.log" &
    xstation_pids+=($!)
    xstation_await -s "$fd_file" "Xvfb did not start" || return 1
    export DISPLAY=":$(head -n1 "$fd_file")"
}

# Starts the simulator in the given mode on a pseudo-terminal whose serial
# end is the link $2; commands go to the FIFO $3. The serial end is given to
# group dialout, mode 660, as udev gives a USB serial adapter on Debian.
xstation_start_scale() {
    local sim=$1 link=$2 fifo=$3 mode=${4:-live}
    rm -f "$link" "$fifo"
    mkfifo "$fifo"
    "$sim" --link "$link" --mode "$mode" <>"$fifo" >/dev/null &
    xstation_pids+=($!)
    xstation_await -e "$link" "the simulator made no $link" || return 1
    chgrp dialout "$(readlink -f "$link")" && chmod 660 "$(readlink -f "$link")"
}

# The visible window whose title is exactly $1; waits up to 30 s.
xstation_window() {
    local id _
    for _ in $(seq 1 300); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window \"$1\" appeared" >&2
    return 1
}

# Waits until no visible window is titled $1.
xstation_gone() {
    local _
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    echo "window \"$1\" did not close" >&2
    return 1
}

# Gives the window the keyboard (there is no window manager to do it) and
# types the keys into it.
xstation_keys() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id"
    xdotool key --delay 60 "$@"
}

# True while an error box is open.
xstation_error_shown() {
    xdotool search --onlyvisible --name '^Chyba$' >/dev/null 2>&1
}
