#!/usr/bin/env bash
# brimwave's settings file as a user sees it: a device, FIFO, folder, huge or
# binary file, or a --settings file in a missing folder, ends a render and a
# live run at once with exit code 1 and one line naming it, and is left as it
# was; a linked, private, other user's file with a BOM is saved in place, a
# read-only one is read and never saved, saying so once. A song or snapshot
# that is not a regular file is refused up front (exit codes 7 and 1), and so
# is a snapshot's missing or read-only folder; a full one is said at the end
# (8); each says why. A run shorter than its first frame still saves one.
# Every run is capped at a minute: one that blocks shows exit code 124.
# Usage: SettingsFileTest.sh path/to/brimwave
set -euo pipefail
# The read-only and the full folder are mounts of the test's own, which go
# with it.
[ -n "${BRIM_OWN_MOUNTS:-}" ] || BRIM_OWN_MOUNTS=1 exec unshare --mount bash "$0" "$@"
source "$(dirname "$0")/program-test.sh" "$1" settings
song="$work/song.wav"
bash "$here/../../tools/make-song.sh" "$song" 0.2
StartPulse

# Runs brimwave, keeping its exit code and stderr; a reader of /dev/zero
# meets the memory cap instead of the machine's end.
Run() {
    status=0
    (ulimit -v 4194304 && exec timeout 60 "$@") >/dev/null 2>"$work/err" || status=$?
}
Render() { Run "$brimwave" --render "$song" --raw-video /dev/null "$@"; }
Live() { Run xvfb-run -a -f "$work/Xauthority" -s "-screen 0 640x480x24" "$brimwave" --module 0 --seconds 0.2 "$@"; }
# What a change to the file would show: its kind, mode, owner, size, inode
# and time, and for a small regular file its bytes.
Looks() {
    stat -c '%F %a %u:%g %s %i %y' "$1"
    if [ -f "$1" ] && [ "$(stat -c %s "$1")" -lt 4000000 ]; then md5sum <"$1"; fi
}
Refused() {
    local what=$1 file=$2 why=$3
    check "$what: exit code 1 (got $status)" [ "$status" -eq 1 ]
    check "$what: one line naming it" \
        [ "$(cat "$work/err")" = "brimwave: cannot use '$file' as the settings file: $why" ]
}

notRegular="it is not a regular file"
tooLarge="it is too large to be a settings file (over 1 MiB)"
notText="it is not text (it has NUL bytes or is not UTF-8)"
# what | how the file is made | why it is refused
while IFS='|' read -r what make why; do
    file="$work/settings"
    rm -rf "$file"
    eval "$make"
    before=$(Looks "$file")
    Render --settings "$file"
    Refused "$what, --render" "$file" "${!why}"
    Live --settings "$file"
    Refused "$what, live" "$file" "${!why}"
    check "$what: left as it was" [ "$(Looks "$file")" = "$before" ]
done <<'EOF'
a device|mknod "$file" c 1 3|notRegular
a link to /dev/zero|ln -s /dev/zero "$file"|notRegular
a FIFO|mkfifo "$file"|notRegular
a folder|mkdir "$file"|notRegular
200 MB|truncate -s 200M "$file"|tooLarge
3 MB of random bytes|head -c 3000000 /dev/urandom >"$file"|tooLarge
100 KB of random bytes|head -c 100000 /dev/urandom >"$file"|notText
Latin-1 text|printf '; caf\xe9\n[Rectangles]\nscales=9\n' >"$file"|notText
EOF

Render --settings "$work/none/plugin.ini"
Refused "a missing folder, --render" "$work/none/plugin.ini" "its folder does not exist"
Live --settings "$work/none/plugin.ini"
Refused "a missing folder, live" "$work/none/plugin.ini" "its folder does not exist"
check "a missing folder is not made" [ ! -e "$work/none" ]

mkfifo "$work/fifo.wav"
Run "$brimwave" --render "$work/fifo.wav" --raw-video /dev/null
check "a FIFO as the song: exit code 7 (got $status)" [ "$status" -eq 7 ]
check "a FIFO as the song: the message" \
    [ "$(cat "$work/err")" = "brimwave: cannot use '$work/fifo.wav': not a regular file" ]
mkfifo "$work/fifo.png"
Live --snapshot "$work/fifo.png"
check "a FIFO as the snapshot: exit code 1 (got $status)" [ "$status" -eq 1 ]
check "a FIFO as the snapshot: the message" \
    [ "$(cat "$work/err")" = "brimwave: the snapshot '$work/fifo.png' is not a regular file" ]

mkdir "$work/read-only" "$work/full"
mount -t tmpfs -o ro tmpfs "$work/read-only"
mount -t tmpfs -o size=64k tmpfs "$work/full"
AtExit() { umount "$work/read-only" "$work/full"; }
echo "older snapshot" >"$work/full/shot.png"
cat /dev/zero >"$work/full/fill" 2>/dev/null || true
# A refusal comes before the run: one that started would last longer than
# the minute it is given.
# what | --seconds | the snapshot | exit code | why
while IFS='|' read -r what seconds snapshot code why; do
    Live --seconds "$seconds" --snapshot "$work/$snapshot"
    check "a snapshot $what: exit code $code (got $status)" [ "$status" -eq "$code" ]
    check "a snapshot $what: one line with the reason" \
        [ "$(cat "$work/err")" = "brimwave: cannot write the snapshot '$work/$snapshot': $why" ]
done <<'EOF'
in a missing folder|100|none/shot.png|1|No such file or directory
in a file as a folder|100|song.wav/shot.png|1|Not a directory
in a read-only folder|100|read-only/shot.png|1|Read-only file system
on a full disk|0.2|full/shot.png|8|No space left on device
EOF
check "a snapshot on a full disk: the older one kept" [ "$(cat "$work/full/shot.png")" = "older snapshot" ]
check "a snapshot on a full disk: nothing else left" [ "$(ls -A "$work/full")" = $'fill\nshot.png' ]
Live --seconds 0.001 --snapshot "$work/shot.png"
check "a run ended before its first frame: saves one (exit code $status)" [ "$status" -eq 0 ]
check "a run ended before its first frame: the frame, with the scene" [ "$(LitPixels "$work/shot.png")" -gt 0 ]

# Another user's private file with a BOM and CRLF line endings.
private="$work/private.ini"
printf '\xef\xbb\xbf[Rectangles]\r\nscales=9\r\n' >"$private"
chmod 0600 "$private"
chown 12345:12346 "$private"
Live --settings "$private"
check "a private file: saved (exit code $status)" [ "$status" -eq 0 ]
check "a private file: its mode and owner" [ "$(stat -c '%a %u:%g' "$private")" = "600 12345:12346" ]
check "a private file: the BOM, the section and the value behind it" \
    cmp -n 27 "$private" <(printf '\xef\xbb\xbf[Rectangles]\r\nscales=9\r\n')
check "a private file: one Rectangles section" [ "$(grep -c 'Rectangles' "$private")" -eq 1 ]
check "a private file: the keys saved, CRLF" grep -q $'^scalew=10000\r$' "$private"

# plugin.ini a link into a dotfiles folder. (A run that got this far before
# its refusal may have saved a plugin.ini.)
rm -rf "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME/brimwave" "$work/dotfiles"
target="$work/dotfiles/plugin.ini"
printf '[Rectangles]\nscales=9\n' >"$target"
ln -s ../../dotfiles/plugin.ini "$XDG_CONFIG_HOME/brimwave/plugin.ini"
Live
check "a linked file: saved (exit code $status)" [ "$status" -eq 0 ]
check "a linked file: still the link" [ "$(readlink "$XDG_CONFIG_HOME/brimwave/plugin.ini")" = ../../dotfiles/plugin.ini ]
check "a linked file: its target saved" grep -q '^scalew=10000$' "$target"
for folder in "$work/dotfiles" "$XDG_CONFIG_HOME/brimwave"; do
    check "a linked file: nothing else in $folder" [ "$(ls -A "$folder")" = plugin.ini ]
done

readOnly="$work/read-only.ini"
printf '[Rectangles]\nscales=9\n' >"$readOnly"
chmod 0444 "$readOnly"
before=$(Looks "$readOnly")
Live --settings "$readOnly"
check "a read-only file: the run goes on (exit code $status)" [ "$status" -eq 0 ]
check "a read-only file: said once" \
    [ "$(grep -c "^brimwave: '$readOnly' is read-only: settings are not saved$" "$work/err")" -eq 1 ]
check "a read-only file: left as it was" [ "$(Looks "$readOnly")" = "$before" ]

XDG_CONFIG_HOME="$work/fresh/config" Live
check "the default file's folders are made (exit code $status)" [ -f "$work/fresh/config/brimwave/plugin.ini" ]
CheckedAll
