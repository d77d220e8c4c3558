# Shared settings for the project's scripts; source it, do not run it.
#
# Every script that runs Windows code goes through the same Wine prefix, so a
# test never touches ~/.wine and every run sees the same registry, fonts and
# desktop. Override the locations with OSTRIN_BUILD and OSTRIN_WINEPREFIX.

OSTRIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OSTRIN_BUILD="${OSTRIN_BUILD:-$OSTRIN_ROOT/build}"
OSTRIN_WINEPREFIX="${OSTRIN_WINEPREFIX:-$OSTRIN_BUILD/wineprefix}"
# Bump when the prefix recipe below changes, so existing prefixes are redone.
OSTRIN_PREFIX_VERSION=1

# How many times slower Windows code runs here than on a machine that
# executes i386 code natively: 1 there, OSTRIN_EMULATED_FACTOR where
# scripts/setup registered the emulator (scripts/i386.sh). The test rig
# multiplies its time limits by it. OSTRIN_TIME_FACTOR overrides.
OSTRIN_EMULATED_FACTOR=4
ostrin_time_factor() {
    if [[ -n "${OSTRIN_TIME_FACTOR:-}" ]]; then
        echo "$OSTRIN_TIME_FACTOR"
    elif head -n1 /proc/sys/fs/binfmt_misc/ostrin-i386 2>/dev/null | grep -qx enabled; then
        echo "$OSTRIN_EMULATED_FACTOR"
    else
        echo 1
    fi
}

# Installs Debian packages: ostrin_apt_install [root command words] -- PKG...
# The update is tried again while a mirror is mid-sync (one index of the
# wrong size fails it whole). If it still fails, the install goes on with the
# lists apt has; when that cannot resolve, it is because the security suite's
# lists for one architecture are older than the other's (multiarch packages
# must match exactly), so it tries once more with that suite left out.
ostrin_apt_install() {
    local root=() apt try updated=
    while [[ "$1" != -- ]]; do root+=("$1"); shift; done
    shift
    apt=("${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q)
    for try in 1 2 3; do
        "${apt[@]}" update && { updated=1; break; }
        echo "setup: apt-get update failed (try $try of 3)" >&2
        ((try < 3)) && sleep $((try * 15))
    done
    "${apt[@]}" install -y --no-install-recommends "$@" && return 0
    [[ -z "$updated" ]] || return 1
    echo "setup: installing again without the security suite, whose lists apt could not fetch" >&2
    local parts f
    parts="$(mktemp -d)"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -e "$f" ]] && grep -v debian-security "$f" >"$parts/$(basename "$f" .list).list"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -e "$f" ]] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/debian-security/' "$f" >"$parts/${f##*/}"
    done
    local rc=0
    "${apt[@]}" -o Dir::Etc::SourceParts="$parts" -o Dir::Etc::SourceList=/dev/null \
        install -y --no-install-recommends "$@" || rc=$?
    rm -rf "$parts"
    return $rc
}

# Exports what every Wine process of ours needs. HOME points at a directory
# inside the prefix: Wine's user folders, ALSA's configuration and anything
# else a Unix library writes there stay out of the user's home.
ostrin_use_wine() {
    export WINEPREFIX="$OSTRIN_WINEPREFIX"
    export WINEARCH=win32
    export WINEDEBUG=-all
    # No menu entries or file associations written into the Unix desktop.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d"
    # Read by uidriver.exe for its waits.
    OSTRIN_TIME_FACTOR="$(ostrin_time_factor)"
    export OSTRIN_TIME_FACTOR
    export HOME="$OSTRIN_WINEPREFIX/home"
    if [[ -n "${OSTRIN_DISPLAY:-}" ]]; then
        export DISPLAY="$OSTRIN_DISPLAY"
    fi
}

# Creates the prefix once (or again after a recipe change); quiet and quick
# when it is ready. Safe to call from parallel tests: they queue on a lock.
ostrin_ensure_prefix() {
    if [[ "$(cat "$OSTRIN_WINEPREFIX/.ostrin-ready" 2>/dev/null)" == "$OSTRIN_PREFIX_VERSION" ]]; then
        return 0
    fi
    mkdir -p "$(dirname "$OSTRIN_WINEPREFIX")"
    (
        flock 9
        [[ "$(cat "$OSTRIN_WINEPREFIX/.ostrin-ready" 2>/dev/null)" == "$OSTRIN_PREFIX_VERSION" ]] && exit 0
        ostrin_make_prefix
    ) 9>"$OSTRIN_WINEPREFIX.lock"
}

# Runs one step of making the prefix quietly; when it fails, says which
# step and shows what Wine printed, then fails.
ostrin_prefix_step() {
    local what="$1" out rc=0
    shift
    out="$("$@" 2>&1)" || rc=$?
    if ((rc != 0)); then
        echo "ostrin: $what failed (exit $rc): $*" >&2
        [[ -n "$out" ]] && printf '%s\n' "$out" >&2
        return "$rc"
    fi
}

ostrin_make_prefix() {
    (
        set -e
        ostrin_use_wine
        unset DISPLAY                     # nothing is drawn while booting
        mkdir -p "$HOME"
        # Sound calls get a device that accepts everything and plays nothing.
        printf 'pcm.!default { type null }\n' >"$HOME/.asoundrc"

        echo "ostrin: preparing the Wine prefix $WINEPREFIX" >&2
        # No Mono or Gecko installer prompts during the first boot.
        ostrin_prefix_step "creating the Wine prefix" \
            env WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" WINEDEBUG=err+all wineboot -i
        ostrin_prefix_step "waiting for the Wine server" wineserver -w

        local reg="$WINEPREFIX/ostrin.reg"
        cat >"$reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
EOF
        ostrin_prefix_step "importing the prefix settings" wine regedit /S "$(winepath -w "$reg" 2>/dev/null)"
        ostrin_prefix_step "waiting for the Wine server" wineserver -w
        rm -f "$reg"

        ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
        echo "$OSTRIN_PREFIX_VERSION" >"$WINEPREFIX/.ostrin-ready"
    )
}

# The test printer: a PostScript printer known only to the prefix's
# registry, whose jobs Wine writes to $OSTRIN_WINEPREFIX/printer/output.ps
# (each job replaces the file); it is the default printer. It is installed
# by build/setup_printer.exe, so this does nothing before the first build.
# Quick once installed; a new prefix gets it again.
OSTRIN_PRINTER_VERSION=1
ostrin_ensure_printer() {
    local marker="$OSTRIN_WINEPREFIX/.ostrin-printer"
    [[ "$(cat "$marker" 2>/dev/null)" == "$OSTRIN_PRINTER_VERSION" ]] && return 0
    [[ -f "$OSTRIN_BUILD/setup_printer.exe" ]] || return 0
    (
        flock 9
        [[ "$(cat "$marker" 2>/dev/null)" == "$OSTRIN_PRINTER_VERSION" ]] && exit 0
        ostrin_use_wine
        unset DISPLAY
        mkdir -p "$OSTRIN_WINEPREFIX/printer"
        local ppd="$OSTRIN_ROOT/tests/support/printer/file_printer.ppd"
        # Wine's drive Z: is the Unix root.
        wine "$OSTRIN_BUILD/setup_printer.exe" "Z:${ppd//\//\\}" "$OSTRIN_WINEPREFIX/printer/output.ps" &&
            echo "$OSTRIN_PRINTER_VERSION" >"$marker"
    ) 9>"$OSTRIN_WINEPREFIX.printer.lock"
}

# Starts a private Xvfb on a display nobody uses and exports OSTRIN_DISPLAY
# and DISPLAY; the server's pid is in OSTRIN_XVFB_PID.
ostrin_start_display() {
    local numfile
    numfile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$numfile" >/dev/null 2>&1 &
    OSTRIN_XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s "$numfile" ]] && break
        kill -0 "$OSTRIN_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s "$numfile" ]]; then
        rm -f "$numfile"
        echo "ostrin: Xvfb did not start" >&2
        return 1
    fi
    export OSTRIN_DISPLAY=":$(tr -d '[:space:]' <"$numfile")"
    export DISPLAY="$OSTRIN_DISPLAY"
    rm -f "$numfile"
}

ostrin_stop_display() {
    if [[ -n "${OSTRIN_XVFB_PID:-}" ]]; then
        kill "$OSTRIN_XVFB_PID" 2>/dev/null || true
        wait "$OSTRIN_XVFB_PID" 2>/dev/null || true
        OSTRIN_XVFB_PID=
    fi
}

# Starts the Wine server for a run of many programs: kept warm between them,
# with its services and desktop started here, detached from any test's
# output (see watcher.cpp, --keep-desktop). Needs the display and the
# watcher executable; ostrin_stop_server ends it all.
ostrin_start_server() {
    local watcher="$1"
    # A server left from another display would keep its desktop there.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p
    OSTRIN_KEEPER_DIR="$(mktemp -d)"
    mkfifo "$OSTRIN_KEEPER_DIR/in"
    wine "$watcher" --keep-desktop <"$OSTRIN_KEEPER_DIR/in" >"$OSTRIN_KEEPER_DIR/out" 2>/dev/null &
    OSTRIN_KEEPER_PID=$!
    # Held open by this shell: the keeper ends when it closes, even on a crash.
    exec {OSTRIN_KEEPER_FD}>"$OSTRIN_KEEPER_DIR/in"
    local i
    for ((i = 0; i < 600 * $(ostrin_time_factor); i++)); do
        grep -q ready "$OSTRIN_KEEPER_DIR/out" 2>/dev/null && return 0
        kill -0 "$OSTRIN_KEEPER_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "ostrin: the Wine desktop did not start ($(cat "$OSTRIN_KEEPER_DIR/out" 2>/dev/null))" >&2
    return 1
}

ostrin_stop_server() {
    if [[ -n "${OSTRIN_KEEPER_FD:-}" ]]; then
        exec {OSTRIN_KEEPER_FD}>&-
        OSTRIN_KEEPER_FD=
    fi
    if [[ -n "${OSTRIN_KEEPER_PID:-}" ]]; then
        kill "$OSTRIN_KEEPER_PID" 2>/dev/null || true
        wait "$OSTRIN_KEEPER_PID" 2>/dev/null || true
        OSTRIN_KEEPER_PID=
    fi
    if [[ -n "${OSTRIN_KEEPER_DIR:-}" ]]; then
        rm -rf "$OSTRIN_KEEPER_DIR"
        OSTRIN_KEEPER_DIR=
    fi
    wineserver -k >/dev/null 2>&1 || true
    return 0
}
