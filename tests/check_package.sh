#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and starts the program from there
# with a temporary home: its window appears, it writes only into the home's data folder, and the
# desktop entry, the metainfo and the package itself pass their validators.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail

build=$1
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(echo "$work"/out/vokarin_*.deb)
[ -f "$deb" ] || fail "no package was made"

# What the package declares and holds.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
for need in libqt6widgets6 libqt6core6 libqt6sql6-sqlite libc6; do
    [[ $depends == *"$need"* ]] || fail "Depends lacks $need: $depends"
done
for want in libflite1 fonts-wqy-microhei; do
    [[ $recommends == *"$want"* ]] || fail "Recommends lacks $want: $recommends"
done
suggests=$(dpkg-deb -f "$deb" Suggests)
[[ $suggests == *speech-dispatcher-espeak-ng* ]] || fail "Suggests lacks the British voice: $suggests"
root="$work/root"
dpkg-deb -x "$deb" "$root"
usr="$root/usr"
for file in bin/vokarin share/vokarin/ERROR.wav share/applications/org.vokarin.Vokarin.desktop \
    share/metainfo/org.vokarin.Vokarin.metainfo.xml share/icons/hicolor/scalable/apps/vokarin.svg \
    share/man/man1/vokarin.1.gz share/doc/vokarin/copyright share/doc/vokarin/changelog.gz; do
    [ -f "$usr/$file" ] || fail "the package lacks /usr/$file"
done
for size in 16 32 48 64 128 256; do
    [ -f "$usr/share/icons/hicolor/${size}x$size/apps/vokarin.png" ] || fail "no ${size}px icon"
done
lessons=$(find "$usr/share/vokarin/lesson" -name '*.txt' | wc -l)
((lessons >= 3)) || fail "the package holds $lessons sample lessons"

desktop-file-validate "$usr/share/applications/org.vokarin.Vokarin.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net --no-color "$usr/share/metainfo/org.vokarin.Vokarin.metainfo.xml" ||
    fail "appstreamcli validate"
lintian --fail-on error --suppress-tags national-encoding "$deb" || fail "lintian found errors"

# The unpacked program, started with a home of its own.
if [ -z "${DISPLAY:-}" ]; then
    [ -z "${VOKARIN_REQUIRE_DISPLAY:-}" ] || fail "no X server, though the test command starts one"
    echo "no X server: the program is not started"
    exit 77
fi
snapshot() { find "$root" -printf '%p %s %T@ %m\n' | sort; }
snapshot >"$work/before"
home="$work/home"
mkdir "$home"
env -u QT_QPA_PLATFORM -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME HOME="$home" \
    "$usr/bin/vokarin" >"$work/run.log" 2>&1 &
pid=$!

# Its main window, told from other programs' by the process that owns it.
window_up() {
    local id
    for id in $(xwininfo -root -tree | awk '/"Vokarin2.0": \("/ {print $1}'); do
        xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$" && return 0
    done
    return 1
}
data="$home/.local/share/Vokarin"
for _ in $(seq 150); do
    kill -0 "$pid" 2>/dev/null || { cat "$work/run.log"; fail "the program ended at start"; }
    window_up && [ -f "$data/csh2.dat" ] && break
    sleep 0.1
done
window_up || { cat "$work/run.log"; fail "no window appeared"; }
[ "$(stat -c %s "$data/csh2.dat")" = 2432 ] || fail "csh2.dat is not in $data"
copied=$(find "$data/lesson" -name '*.txt' | wc -l)
((copied == lessons)) || fail "$copied of $lessons sample lessons were copied into $data/lesson"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "the program wrote under the installed root"
echo "package checked: $(basename "$deb")"
