#!/usr/bin/env bash
# translations_complete.sh LUPDATE INCLUDE_DIR "TS..." SOURCE...: fails when lupdate would change
# a .ts file (a text of the sources missing, or one the sources no longer have) or when a
# translation is unfinished.
set -euo pipefail
lupdate=$1
include=$2
read -r -a ts_files <<<"${3//;/ }"
shift 3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for ts in "${ts_files[@]}"; do
    copy=$scratch/$(basename "$ts")
    cp "$ts" "$copy"
    "$lupdate" -silent -no-obsolete -locations none -I "$include" "$@" -ts "$copy"
    if ! diff -u "$ts" "$copy"; then
        echo "FAIL: $(basename "$ts") is not up to date with the sources" \
            "(cmake --build <dir> --target update_translations)" >&2
        status=1
    fi
    if grep -n 'type="unfinished"' "$ts"; then
        echo "FAIL: $(basename "$ts") has unfinished translations" >&2
        status=1
    fi
done
exit $status
