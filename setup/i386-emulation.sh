#!/usr/bin/env bash
# Some virtual machines run no 32-bit x86 code at all (the kernel refuses
# i386 executables with "Exec format error"). There, wine's 32-bit loader and
# everything it starts run under qemu's user-mode emulator, registered with
# binfmt_misc. Bookworm's qemu 7.2 starts each wine process in about a minute
# of CPU time (its guest mmap emulation makes wine's address-space probing
# crawl); trixie's qemu 10 starts one in seconds, so that one is used. Its
# user-mode emulators are static binaries, so the package's file is all we need.
set -euo pipefail

# A working 32-bit loader means the machine runs i386 code itself.
/lib/ld-linux.so.2 --version >/dev/null 2>&1 && exit 0

emulator=/usr/local/lib/brimwave/qemu-i386
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ! -x "$emulator" ]; then
    echo "-- this machine runs no 32-bit x86 code: fetching qemu's i386 user-mode emulator"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/lists/partial" "$work/deb"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main" >"$work/sources.list"
    # A private package list: the system's own sources stay as they are.
    apt_options=(-o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=-
                 -o Dir::State::Lists="$work/lists" -o APT::Architectures=amd64
                 -o APT::Sandbox::User=root)
    apt-get "${apt_options[@]}" update -qq
    (cd "$work/deb" && apt-get "${apt_options[@]}" download -qq qemu-user)
    dpkg-deb -x "$work"/deb/qemu-user_*.deb "$work/root"
    $sudo install -D -m 755 "$work/root/usr/bin/qemu-i386" "$emulator"
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -f "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
if ! grep -qx "interpreter $emulator" "$binfmt/qemu-i386" 2>/dev/null; then
    [ -f "$binfmt/qemu-i386" ] && echo -1 | $sudo tee "$binfmt/qemu-i386" >/dev/null
    # i386 ELF executables and shared objects; F opens the emulator now, so it
    # also serves processes in other mount namespaces.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$emulator:F" | $sudo tee "$binfmt/register" >/dev/null
fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "cannot run 32-bit x86 code, even emulated" >&2; exit 1; }
echo "-- 32-bit x86 code runs under $emulator"
