# Sourced by the real-window tests: a private HOME and Xvfb (no window manager), the program
# started with its windows found, and the helpers the tests share to drive it with xdotool.
#   source session.sh; start_session; start_program <program> [<folder to start in>]
# Leaves: root (private folder, removed at exit), main_id, panel_id, program_pid.

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

xvfb_pid="" program_pid="" root=""
cleanup() {
    [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    [[ -n "$root" ]] && rm -rf "$root"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [[ -f "$root/program.log" ]] && cat "$root/program.log"
    exit 1
}

# A private HOME, configuration and runtime folder, and an X display of our own; the screenshot
# folder ($shots, when set) is made.
start_session() {
    [[ -n "${shots:-}" ]] && mkdir -p "$shots"
    root="$(mktemp -d "${TMPDIR:-/tmp}/velmr-window-XXXXXX")"
    export HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share"
    export XDG_CONFIG_HOME="$root/home/.config" XDG_CACHE_HOME="$root/home/.cache"
    export XDG_RUNTIME_DIR="$root/runtime"
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset WINEPREFIX QT_QPA_PLATFORM
    export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
    exec 3>"$root/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [[ -s "$root/display" ]] && break; sleep 0.1; done
    [[ -s "$root/display" ]] || fail "Xvfb did not start: $(cat "$root/xvfb.log")"
    export DISPLAY=":$(head -n1 "$root/display")"
}

# Starts the program in <folder> (default: the private root) and waits for its main window and
# its editing panel.
start_program() {
    local program="$1" folder="${2:-$root}"
    (cd "$folder" && exec "$program") >"$root/program.log" 2>&1 &
    program_pid=$!
    main_id="$(timeout 30 xdotool search --sync --onlyvisible --name '^瑠環印影マネージャー$' |
        head -n1)" || fail "no window titled 瑠環印影マネージャー"
    panel_id="$(timeout 30 xdotool search --sync --onlyvisible --name '^印影編集$' | head -n1)" ||
        fail "no tool window titled 印影編集"
    sleep 0.5
}

# Starts the program in a folder that holds velmor.exe: the Velmor check takes that folder as the
# Velmor program's install folder and asks nothing.
start_program_beside_velmor() {
    mkdir -p "$root/velmor" && : >"$root/velmor/velmor.exe"
    start_program "$1" "$root/velmor"
}

# Ends the program through ﾌｧｲﾙ(&F) → 終了(&X) and checks its exit status.
end_program() {
    xdotool windowfocus --sync "$main_id"
    xdotool key --delay 150 alt+f x
    wait_program_end
}

# Waits for the program to end on its own and checks that it ended with status 0.
wait_program_end() {
    local status
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end"
    wait "$program_pid" && status=0 || status=$?
    program_pid=""
    [[ "$status" -eq 0 ]] || fail "exit status $status"
}

geometry() { xdotool getwindowgeometry --shell "$1"; }

# Waits up to <seconds> for <command...> to succeed (a loaded machine may take its time).
wait_until() {
    local seconds="$1"
    shift
    for _ in $(seq $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

panel_size() {
    eval "$(geometry "$panel_id" | sed 's/^/PANEL_/')"
    echo "${PANEL_WIDTH}x${PANEL_HEIGHT}"
}

# Sends keys to the main window, for example `main_keys alt+f s`.
main_keys() {
    xdotool windowfocus --sync "$main_id"
    xdotool key --delay 150 "$@"
}

# Waits for a visible window other than the main window and the panel (a dialog) and prints it.
dialog_window() {
    local id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            [[ "$id" != "$main_id" && "$id" != "$panel_id" ]] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

# Waits until window <id> is no longer visible.
wait_closed() {
    for _ in $(seq 50); do
        xdotool getwindowname "$1" >/dev/null 2>&1 &&
            xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || break
        sleep 0.2
    done
    sleep 0.5
}

# Types a full path into Qt's own file dialog, then Return.
dialog_type() {
    local id
    id="$(dialog_window)" || fail "no file dialog appeared"
    xdotool windowfocus --sync "$id"
    sleep 0.5
    xdotool key --delay 50 ctrl+a
    xdotool type --delay 20 "$1"
    xdotool key Return
    wait_closed "$id"
}

# Counts the pixels of colour <#RRGGBB> in picture <png>.
count_colour() {
    /usr/bin/convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:int(mean*w*h)]' info: 2>/dev/null || echo 0
}
