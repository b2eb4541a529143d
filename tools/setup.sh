#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   tools/setup.sh run   install what is missing, build, start pondera2d in the caller's current directory
#   tools/setup.sh test  install what is missing, check formatting, build and run the whole test suite,
#                        then again under AddressSanitizer + UndefinedBehaviorSanitizer, and the tests
#                        that run the background save and detection threads under ThreadSanitizer
#   tools/setup.sh pose-model [BUILD_DIR]
#                        fetch, check and convert the pose network again into BUILD_DIR (default
#                        build/release), e.g. after a build made without network
#   tools/setup.sh package install what is missing, build a release with Debian's hardening flags,
#                        make the .deb (build/package/package/) and check it with lintian
set -euo pipefail

mode=${1:-}
caller_dir=$PWD
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packages of the lists named (run, test, package) in tools/packages.txt.
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
    # The pose network is fetched with npm at build time; Debian's npm only where there is none at all.
    command -v npm >/dev/null 2>&1 || missing+=(npm)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

configure() { # dir, extra cmake args...
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
}

configure_and_build() { # dir, extra cmake args...
    configure "$@"
    cmake --build "$repo/$1" -j "$jobs"
}

# The tests whose threads ThreadSanitizer watches: the record store's background save and the
# window's saves and landmark detection. Only their programs are built, to keep the pass short.
tsan_targets=(records_tests record_crash_child store_faults_window_test detect_window_test)
tsan_tests='^records\..*BackgroundSaveTest|^app\.(store_faults_window_test|detect_window_test)$'


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
    install_packages run test package
    check_format
    echo "== build and test (warnings are errors)"
    configure_and_build build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPONDERA_WERROR=ON
    (cd "$repo/build/ci" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
    echo "== build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
    configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DPONDERA_WERROR=ON -DPONDERA_SANITIZE=ON \
        -DPONDERA_BUILD_BENCH=OFF
    # Runs that only drive outside programs over files we wrote are left to the pass above.
    (cd "$repo/build/asan" && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$repo/tools/lsan.supp" \
        ctest --output-on-failure -j "$jobs" -LE external)
    echo "== threads under ThreadSanitizer"
    configure build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPONDERA_WERROR=ON -DPONDERA_TSAN=ON \
        -DPONDERA_BUILD_BENCH=OFF
    cmake --build "$repo/build/tsan" -j "$jobs" --target "${tsan_targets[@]}"
    # Qt is not built with ThreadSanitizer: races inside its libraries are left out.
    (cd "$repo/build/tsan" && QT_QPA_PLATFORM=offscreen \
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$repo/tools/tsan.supp" \
        ctest --output-on-failure -j "$jobs" -R "$tsan_tests")
    ;;
pose-model)
    install_packages run
    dir=${2:-build/release}
    [ -f "$repo/$dir/CMakeCache.txt" ] || cmake -S "$repo" -B "$repo/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPONDERA_BUILD_TESTS=OFF -DPONDERA_BUILD_BENCH=OFF >/dev/null
    rm -f "$repo/$dir/pose-model/pose-model.stamp" "$repo/$dir/pose-model/pose_landmark_full.unavailable"
    cmake --build "$repo/$dir" --target pose_model
    if [ -f "$repo/$dir/pose-model/pose_landmark_full.onnx" ]; then
        echo "== pose network ready: $repo/$dir/pose-model/pose_landmark_full.onnx"
    else
        echo "== pose network not built: $(cat "$repo/$dir/pose-model/pose_landmark_full.unavailable" 2>/dev/null)" >&2
        exit 1
    fi
    ;;
package)
    install_packages run package
    # The compiler and linker flags Debian builds its own packages with (hardening included).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    configure_and_build build/package -DCMAKE_BUILD_TYPE=Release -DPONDERA_BUILD_TESTS=OFF \
        -DPONDERA_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
        "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    (cd "$repo/build/package" && cpack -G DEB)
    deb=$(ls "$repo"/build/package/package/pondera2d_*.deb)
    echo "== lintian $deb"
    lintian --tag-display-limit 0 "$deb"
    echo "== built $deb"
    ;;
*)
    echo "usage: tools/setup.sh run|test|package|pose-model [BUILD_DIR]" >&2
    exit 2
    ;;
esac
