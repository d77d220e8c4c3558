# Running the engine's i386 code (Wine, the tests) on machines whose kernel
# cannot execute 32-bit programs; sourced by scripts/setup.
#
# Some kernels have IA-32 emulation switched off: there even a 64-bit
# process faults when it enters 32-bit code, so Wine's own 32-on-64 mode is
# no way out. What works is qemu's user-mode emulator registered with
# binfmt_misc for i386 ELF files. Debian 12's own qemu-user (7.2) spends
# nearly all its time on the page bookkeeping of Wine's address-space
# reservations; the one in the release's backports suite (10.x, statically
# linked) is fast enough, so that single package comes from there, pinned so
# that nothing else does. The Wine server then runs as the native 64-bit one
# (package wine64, which Debian's wineserver wrapper prefers).
#
# OSTRIN_EMULATE=1 sets emulation up even where i386 code runs natively (to
# try this path on such a machine); OSTRIN_EMULATE=0 removes a registration
# of ours again. The registration does not survive a reboot: every run of
# scripts/setup checks it and restores it.

# Name of our binfmt_misc entry, and the i386 program that probes execution
# (the 32-bit loader that Wine's i386 packages install).
OSTRIN_BINFMT_DIR=/proc/sys/fs/binfmt_misc
OSTRIN_BINFMT_ENTRY="$OSTRIN_BINFMT_DIR/ostrin-i386"
OSTRIN_I386_PROBE=/lib/ld-linux.so.2
OSTRIN_QEMU=/usr/bin/qemu-i386
OSTRIN_QEMU_MIN_VERSION=1:10.0

i386_die() {
    echo "setup: $*" >&2
    exit 1
}

# Runs a command as root: directly, through sudo, or not at all (with a
# message that says what needed root).
i386_root() {
    if ((EUID == 0)); then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        i386_die "this machine cannot run 32-bit code and setting up the emulator needs root: run scripts/setup as root or install sudo (failed: $*)"
    fi
}

# 0 when i386 code runs (natively or emulated), 1 when the kernel refuses it
# ("Exec format error"), 2 for any other failure, whose output is shown.
i386_probe() {
    [[ -e "$OSTRIN_I386_PROBE" ]] || i386_die "$OSTRIN_I386_PROBE is missing: the i386 packages (wine32:i386, libc6:i386) did not install"
    local out rc=0
    out="$("$OSTRIN_I386_PROBE" --version 2>&1)" || rc=$?
    ((rc == 0)) && return 0
    if [[ "$out" == *"Exec format error"* ]]; then
        return 1
    fi
    echo "setup: $OSTRIN_I386_PROBE --version failed (exit $rc):" >&2
    echo "$out" >&2
    return 2
}

i386_registered() {
    [[ -f "$OSTRIN_BINFMT_ENTRY" ]] && head -n1 "$OSTRIN_BINFMT_ENTRY" | grep -qx enabled
}

i386_qemu_ready() {
    local v
    v="$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" || return 1
    [[ -x "$OSTRIN_QEMU" ]] && dpkg --compare-versions "$v" ge "$OSTRIN_QEMU_MIN_VERSION" &&
        [[ "$(dpkg-query -W -f='${db:Status-Status}' wine64 2>/dev/null)" == installed ]]
}

# The running release's backports suite, for qemu-user alone, from the
# mirror the machine already uses.
i386_install_qemu() {
    local codename mirror
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    [[ -n "$codename" ]] || i386_die "cannot tell the Debian release from /etc/os-release"
    mirror="$(grep -hs -m1 -E '^URIs:.*/debian/?$' /etc/apt/sources.list.d/*.sources | awk '{print $2}')"
    [[ -n "$mirror" ]] || mirror="$(grep -hs -m1 -E '^deb .*/debian/? ' /etc/apt/sources.list | awk '{print $2}')"
    [[ -n "$mirror" ]] || mirror=http://deb.debian.org/debian
    echo "setup: installing qemu-user from $codename-backports and wine64 (emulation of i386 code)"
    i386_root tee /etc/apt/sources.list.d/ostrin-backports.sources >/dev/null <<SRC
# Added by the Ostrin setup for one package, qemu-user (see the pin).
Types: deb
URIs: $mirror
Suites: $codename-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    i386_root tee /etc/apt/preferences.d/ostrin-backports >/dev/null <<PIN
# Nothing from backports but qemu-user (the emulator of i386 code).
Package: *
Pin: release n=$codename-backports
Pin-Priority: 1

Package: qemu-user
Pin: release n=$codename-backports
Pin-Priority: 990
PIN
    ostrin_apt_install i386_root -- qemu-user wine64 ||
        i386_die "could not install qemu-user from $codename-backports"
    i386_qemu_ready || i386_die "qemu-user $OSTRIN_QEMU_MIN_VERSION or later is needed; $codename-backports gave $(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)"
}

i386_register() {
    if [[ ! -e "$OSTRIN_BINFMT_DIR/register" ]]; then
        i386_root mount -t binfmt_misc binfmt_misc "$OSTRIN_BINFMT_DIR" 2>/dev/null ||
            i386_die "binfmt_misc is not available (mounting it on $OSTRIN_BINFMT_DIR failed): the kernel needs CONFIG_BINFMT_MISC, and a container needs the privilege to mount it"
    fi
    [[ -e "$OSTRIN_BINFMT_ENTRY" ]] && i386_root sh -c "echo -1 >'$OSTRIN_BINFMT_ENTRY'"
    # i386 ELF executables and shared objects (the loader runs as one); F
    # opens the emulator now, so it serves every mount namespace.
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    i386_root sh -c "printf '%s' ':ostrin-i386:M::$magic:$mask:$OSTRIN_QEMU:F' >'$OSTRIN_BINFMT_DIR/register'" ||
        i386_die "registering $OSTRIN_QEMU with binfmt_misc failed"
}

i386_unregister() {
    if [[ -e "$OSTRIN_BINFMT_ENTRY" ]]; then
        i386_root sh -c "echo -1 >'$OSTRIN_BINFMT_ENTRY'"
        echo "setup: removed the emulator registration; i386 code runs natively again"
    fi
}

# Makes sure i386 code runs here: natively where it can, else emulated.
ostrin_setup_i386() {
    local why
    case "${OSTRIN_EMULATE:-auto}" in
        0)
            i386_unregister
            i386_probe || i386_die "this machine cannot run 32-bit code without the emulator (OSTRIN_EMULATE=0)"
            return 0
            ;;
        1) why="OSTRIN_EMULATE=1 asked for it" ;;
        auto)
            if i386_registered; then
                why="registered by an earlier run; OSTRIN_EMULATE=0 removes it where it is not needed"
            else
                local rc=0
                i386_probe || rc=$?
                ((rc == 0)) && return 0
                ((rc == 1)) || i386_die "cannot tell whether this machine runs 32-bit code (see above)"
                why="this machine cannot run 32-bit code"
            fi
            ;;
        *) i386_die "OSTRIN_EMULATE must be 0, 1 or unset" ;;
    esac
    i386_qemu_ready || i386_install_qemu
    i386_registered || i386_register
    i386_probe || i386_die "i386 code does not run even under $OSTRIN_QEMU (see above)"
    echo "setup: i386 programs (Wine, the engine, its tests) run under qemu user-mode emulation ($why): about 3 to 5 times slower; test time limits are multiplied by $(ostrin_time_factor)"
}
