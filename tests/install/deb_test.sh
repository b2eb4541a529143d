#!/usr/bin/env bash
# deb_test.sh BUILD_DIR VERSION: packages the build, checks the package and runs what it installs.
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Package exactly what `cmake --install` puts in place.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$scratch/pkg/pondera2d_${version}_amd64.deb
[ -f "$deb" ] || fail "no package $deb"

# Debian's checker: errors fail, warnings are reported.
lintian --tag-display-limit 0 "$deb" 2>/dev/null >"$scratch/lintian.log" || true
cat "$scratch/lintian.log"
if grep -q '^E:' "$scratch/lintian.log"; then fail "lintian reports errors"; fi

control=$(dpkg-deb -f "$deb")
for field in "Section: science" "Maintainer: " "Depends: .*libqt6widgets6" "Description: ."; do
    grep -qE "^$field" <<<"$control" || fail "control lacks '$field'"
done

root=$scratch/root
dpkg -x "$deb" "$root"

# Every file the package installs, and nothing else (the pose network and its licence are there
# when the build made them).
expected=(
    usr/bin/pondera2d
    usr/bin/pondera2d-workbook
    usr/share/applications/org.pondera2d.Pondera2D.desktop
    usr/share/metainfo/org.pondera2d.Pondera2D.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/org.pondera2d.Pondera2D.svg
    usr/share/man/man1/pondera2d.1.gz
    usr/share/man/man1/pondera2d-workbook.1.gz
    usr/share/doc/pondera2d/changelog.gz
    usr/share/doc/pondera2d/copyright
    usr/share/pondera2d/translations/pondera2d_en.qm
    usr/lib/pondera2d/libpondera2d-pose.so
    usr/lib/pondera2d/libpondera2d-workbook-detect.so
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/org.pondera2d.Pondera2D.png")
done
actual=$(cd "$root" && find . -type f -printf '%P\n' | grep -vE '^usr/share/pondera2d/(models/(pose_landmark_full|pose_detection)\.onnx|pose-model-LICENSE)$' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
diff <(echo "$wanted") <(echo "$actual") || fail "installed files differ (< missing, > unexpected)"

for size in 16 48 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/org.pondera2d.Pondera2D.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a ${size}px PNG"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/org.pondera2d.Pondera2D.metainfo.xml" ||
    fail "appstreamcli refuses the metainfo file"
desktop=$root/usr/share/applications/org.pondera2d.Pondera2D.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
grep -qx 'Exec=pondera2d --documents' "$desktop" || fail "the desktop entry does not start in documents"
for page in pondera2d pondera2d-workbook; do
    man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null | grep . &&
        fail "man reports problems in $page.1"
done

# The installed programs, with nothing of the build tree on their paths.
unset LD_LIBRARY_PATH
bin=$root/usr/bin
[ "$("$bin/pondera2d-workbook" --version)" = "pondera2d-workbook $version" ] || fail "workbook --version"
[ "$("$bin/pondera2d" --version)" = "pondera2d $version" ] || fail "pondera2d --version"
"$bin/pondera2d" --help | grep -q -- '--documents' || fail "pondera2d --help does not list --documents"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/pondera2d" --no-such-option 2>"$scratch/err" || status=$?
[ "$status" = 2 ] && grep -q '^usage: pondera2d' "$scratch/err" || fail "an unknown argument is not refused"

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Started as the desktop entry starts it: works in ~/Documents/Pondera2D, made for it.
export HOME=$scratch/home
mkdir "$HOME"
(cd / && exec "$bin/pondera2d" --documents) >"$scratch/app.log" 2>&1 &
app_pid=$!
folder=$HOME/Documents/Pondera2D
for _ in $(seq 100); do
    [ -f "$folder/DEMO/demo003.bmp" ] && [ -f "$folder/PONDERA2D_2010.xls" ] && break
    kill -0 "$app_pid" 2>/dev/null || { cat "$scratch/app.log"; fail "the program ended at start"; }
    sleep 0.2
done
[ -f "$folder/DEMO/demo003.bmp" ] || fail "no workbook and DEMO folder in $folder"
sleep 1 # the window reaches its event loop, where an end request closes it as Quit does
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" = 0 ] || { cat "$scratch/app.log"; fail "the program ended with $status"; }
[ ! -e "$folder/.PONDERA2D_2010.xls.journal" ] || fail "quitting left the journal behind"
"$bin/pondera2d-workbook" dump "$folder/PONDERA2D_2010.xls" | grep -q '^== Sheet: LANDMARK' ||
    fail "the installed tool cannot read the workbook the installed program wrote"

# Started in a folder it cannot write: says so and names the folder to use.
(cd /proc/self && LANG=en_US.UTF-8 LANGUAGE=en exec "$bin/pondera2d") >"$scratch/ro.log" 2>&1 &
app_pid=$!
for _ in $(seq 50); do
    grep -q "$folder" "$scratch/ro.log" && break
    sleep 0.2
done
kill -9 "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=
grep -q 'not writable' "$scratch/ro.log" && grep -q "$folder" "$scratch/ro.log" ||
    { cat "$scratch/ro.log"; fail "no clear message for a folder that cannot be written"; }
echo "install.deb: all checks passed"
