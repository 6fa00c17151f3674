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

# The archive this machine's apt already uses: the first source, one-line
# (*.list) or deb822 (*.sources), of binary packages for a Debian release.
DebianMirror() {
    local release='^(buster|bullseye|bookworm|trixie|forky|sid|oldoldstable|oldstable|stable|testing|unstable)$'
    local files=() file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && files+=("$file")
    done
    [ ${#files[@]} -gt 0 ] || return 1
    awk -v release="$release" '
        function pick(types, uris, suites,    n, s, u, i, j) {
            if (types !~ /(^| )deb( |$)/) return
            n = split(suites, s, " "); split(uris, u, " ")
            for (i = 1; i <= n; i++) if (s[i] ~ release && u[1] != "") { print u[1]; found = 1; exit }
        }
        function flush() { if (enabled) pick(types, uris, suites); types = uris = suites = ""; enabled = 1 }
        FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }
        /^[ \t]*#/ { next }
        { sub(/#.*/, "") }
        !deb822 && $1 == "deb" {
            line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " ")
            pick("deb", f[2], f[3]); next
        }
        deb822 && /^[ \t]*$/ { flush(); next }
        deb822 && match($0, /^[A-Za-z-]+:/) {
            key = tolower(substr($0, 1, RLENGTH - 1)); value = substr($0, RLENGTH + 1)
            gsub(/^[ \t]+|[ \t]+$/, "", value)
            if (key == "types") types = value
            else if (key == "uris") uris = value
            else if (key == "suites") suites = value
            else if (key == "enabled") enabled = tolower(value) != "no"
        }
        END { if (!found) flush(); exit !found }
    ' "${files[@]}"
}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ! -x "$emulator" ]; then
    echo "-- this machine runs no 32-bit x86 code: fetching qemu's i386 user-mode emulator"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/lists/partial" "$work/deb"
    mirror=$(DebianMirror) || { echo "no Debian archive among this machine's apt sources" >&2; exit 1; }
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" >"$work/sources.list"
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
