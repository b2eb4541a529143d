#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   tools/setup.sh run   install what is missing, build, start pondera2d in the caller's current directory
#   tools/setup.sh test  install what is missing, check formatting, build and run the whole test suite,
#                        then again under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail

mode=${1:-}
caller_dir=$PWD
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages of the lists named (run, test) in tools/packages.txt.
package_list() {
    awk -v want=" $* " '
        /^\s*(#|$)/ { next }
        /^\[.*\]$/ { section = substr($0, 2, length($0) - 2); next }
        index(want, " " section " ") { print $1 }
    ' "$repo/tools/packages.txt"
}

install_packages() { # list names...
    local wanted=() missing=() p
    mapfile -t wanted < <(package_list "$@")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() { # dir, extra cmake args...
    local dir=$1 log; shift
    log=$(mktemp)
    # Configure quietly, but show everything it said when it fails.
    if ! cmake -S "$repo" -B "$repo/$dir" -G Ninja "$@" >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "== configuring $dir failed" >&2
        exit 1
    fi
    rm -f "$log"
    cmake --build "$repo/$dir" -j "$jobs"
}

check_format() {
    echo "== clang-format check"
    cd "$repo"
    git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
}

case "$mode" in
run)
    install_packages run
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DPONDERA_BUILD_TESTS=OFF -DPONDERA_BUILD_BENCH=OFF
    cd "$caller_dir"
    exec "$repo/build/release/app/pondera2d"
    ;;
test)
    install_packages run test
    check_format
    echo "== build and test (warnings are errors)"
    configure_and_build build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPONDERA_WERROR=ON
    (cd "$repo/build/ci" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
    echo "== build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
    configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DPONDERA_WERROR=ON -DPONDERA_SANITIZE=ON \
        -DPONDERA_BUILD_BENCH=OFF
    # Runs that only drive outside programs over files we wrote are left to the pass above.
    (cd "$repo/build/asan" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" -LE external)
    ;;
*)
    echo "usage: tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
