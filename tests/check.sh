# Sourced by the shell tests. check WHAT COMMAND... runs the command and says
# "ok: WHAT" or "FAILED: WHAT"; CheckedAll ends with how many failed, and
# fails itself when any did.
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
CheckedAll() {
    [ "$failures" -eq 0 ] || echo "$failures checks failed"
    [ "$failures" -eq 0 ]
}
