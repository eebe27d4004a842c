#!/bin/sh
# The demo's job: skorvel starts it (without a shell of its own) once per
# dropped file, with the file's full path as its one argument. It "converts"
# the file and fails (exit code 3) when the file says FAIL.
printf '  [job %s] %d argument(s): <%s>, %s bytes, in %s\n' \
    "$(date +%T.%3N)" "$#" "$1" "$(wc -c < "$1")" "$(pwd)"
if grep -q FAIL "$1"; then
    printf '  [job] cannot convert %s: exit code 3\n' "$(basename "$1")"
    exit 3
fi
exit 0
