#!/usr/bin/env bash
# Installs what is missing, builds Vokarin, then starts it (run) or runs every test (test).
# Safe to run again: it installs nothing twice and rebuilds only what changed.
set -euo pipefail

mode=${1:-run}
case "$mode" in run | test) ;; *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

# Everything the build, the program and the tests need from Debian or Ubuntu.
packages=(
    cmake g++ ninja-build ccache clang libclang-rt-dev clang-format
    qt6-base-dev qt6-multimedia-dev qt6-speech-dev qt6-declarative-dev libxkbcommon-dev
    qt6-charts-dev libqt6sql6-sqlite libsqlite3-dev libzip-dev libzstd-dev pkg-config
    qt6-speech-flite-plugin qt6-speech-speechd-plugin qt6-translations-l10n flite1-dev espeak-ng
    gstreamer1.0-plugins-good
    fonts-wqy-microhei fonts-dejavu-core
    xvfb xauth x11-utils pulseaudio
    dpkg-dev lintian desktop-file-utils appstream syncthing
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

werror=OFF
[ -n "${CI:-}" ] && werror=ON
cd "$root"
# ccache takes what another checkout of the same sources compiled (a fresh clone's paths are
# made relative to it; the folder it was built in is not part of what is compared).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"

# The test command's output comes in named stages, each with its time, summed up at the end.
stage_name="" stage_start=0 summary=()
stage() {
    local now
    now=$(date +%s)
    if [ -n "$stage_name" ]; then
        summary+=("$(printf '%-11s %4d s' "$stage_name" $((now - stage_start)))")
    fi
    stage_name=$1 stage_start=$now
    if [ -n "$1" ] && [ "$mode" = test ]; then echo "==== $1"; fi
}

stage build
cmake --preset default -DVOKARIN_WERROR="$werror" >/dev/null
cmake --build --preset default

if [ "$mode" = run ]; then
    exec "$build/Vokarin/vokarin"
fi

stage format
# Every C++ file as clang-format would leave it.
unformatted=()
while IFS= read -r -d '' file; do
    clang-format --dry-run --Werror "$root/$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git -C "$root" ls-files -z -- '*.cpp' '*.h')
if ((${#unformatted[@]})); then
    echo "Not formatted (run clang-format -i on them): ${unformatted[*]}" >&2
    exit 1
fi

stage tidy
# The program's C++ files through the checks of .clang-tidy, which must find nothing;
# VOKARIN_TIDY=all adds the tests and the benchmarks (twice the time).
tidied="src|tools"
[ "${VOKARIN_TIDY:-}" = all ] && tidied="src|tools|tests|bench"
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "^$root/($tidied)/.*\.cpp\$" \
    >"$build/clang-tidy.log" 2>&1 || true
if grep -qE '(warning|error):' "$build/clang-tidy.log"; then
    grep -E '(warning|error):' "$build/clang-tidy.log" | sort -u >&2
    echo "clang-tidy found the above (its whole report: $build/clang-tidy.log)" >&2
    exit 1
fi

# The real sound and speech tests need a sound server: start a private one with a null sink
# when none runs, and stop it again afterwards.
if ! pulseaudio --check 2>/dev/null; then
    pulseaudio -D --exit-idle-time=-1 -n --load=module-null-sink \
        --load=module-native-protocol-unix 2>/dev/null
    trap 'pulseaudio --kill 2>/dev/null || true' EXIT
fi
export VOKARIN_REQUIRE_AUDIO=1 VOKARIN_REQUIRE_DISPLAY=1 VOKARIN_REQUIRE_SYNCTHING=1

# Leak reports unwind fully, so that the suppressions for libraries below Qt can match them.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
status=0
# Widget tests run offscreen; the start-up test needs a real X server, one for every pass.
# -noreset: an X server resets when its last client leaves, and a program that connects
# during the reset fails to start, as one between two start-up tests did.
tests() { # the pass's log, its build folder, then ctest's own arguments
    local log=$1 dir=$2
    shift 2
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
        ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600 "$@" |
        tee "$log" || status=1
}
slowest() { # the five slowest tests of a pass, from its log
    grep -E 'Test +#[0-9]+: ' "$1" | sed -E 's/.*Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 s  \1/' |
        sort -rn | head -5 | sed 's/^/    /'
}

stage tests
tests "$build/ctest.log" "$build" -E debian_package

stage sanitizers
# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan -DVOKARIN_WERROR="$werror" >/dev/null
cmake --build --preset asan
tests "$root/build-asan/ctest.log" "$root/build-asan" -E debian_package

stage fuzzers
# The fuzzers of the file readers (clang), for a short, fixed time each.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for fuzzer in fuzz_lessonfile fuzz_settingsfile fuzz_wordlists; do
    echo "== $fuzzer"
    corpus=$(mktemp -d)
    if "$root/build-fuzz/fuzz/$fuzzer" -max_total_time=30 -print_final_stats=1 \
        "$corpus" "$root/fuzz/corpus/${fuzzer#fuzz_}" >"$corpus.log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units)' "$corpus.log" || true
    else
        tail -n 60 "$corpus.log"
        status=1
    fi
    rm -rf "$corpus" "$corpus.log"
done

stage package
tests "$build/ctest-package.log" "$build" -R debian_package

stage ""
echo "==== stages"
printf '  %s\n' "${summary[@]}"
echo "==== slowest tests"
slowest "$build/ctest.log"
echo "  with the sanitizers:"
slowest "$root/build-asan/ctest.log"
exit "$status"
