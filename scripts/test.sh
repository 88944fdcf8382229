#!/usr/bin/env bash
# Sets up the machine, then builds and tests every configuration:
#
#   bash scripts/test.sh                 native, asan, tsan, windows, fuzz, bench
#   bash scripts/test.sh native windows  only the named ones
#
#   native   unit tests (ctest)
#   asan     unit tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan     the tests named *tsan* under ThreadSanitizer (skipped while there are none)
#   windows  mingw-w64 cross build: import check, then the unit tests under Wine in Xvfb
#   fuzz     each fuzz_* target over a copy of its committed corpus fuzz/corpus/<name>/ (runs never
#            grow the committed corpus) with a fixed seed and a fixed number of runs
#            (VX_FUZZ_RUNS, default 4000): the same inputs every time, so a red fuzz step means
#            the change under test broke something, never bad luck. VX_FUZZ_SECONDS=N instead
#            runs a random campaign of N seconds per target; commit whatever it finds (the
#            artifact files) to the target's corpus as a regression input. The targets' own
#            stdout/stderr are closed (libFuzzer's and the sanitizers' reports remain)
#   bench    builds the benchmark programs (in the native tree, so they keep compiling) but does
#            not run them: figures from a shared CI machine mean little
#   gnustep  the macOS view host, the meter's editor, the VST 2 binding and the bundle's binary
#            built with g++ against GNUstep's AppKit as the macOS bundle is built (font files,
#            FreeType and libpng from source); their tests (mac_*) run in Xvfb, each under a
#            watchdog, and the text tests against that FreeType
#
# Every configuration is tried even when an earlier one fails; the summary at the end lists
# each, and the exit status is non-zero when any failed.
set -uo pipefail
. "$(dirname "$0")/common.sh"
cd "$VX_ROOT"

ALL=(native asan tsan windows fuzz bench gnustep)
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=("${ALL[@]}")
for c in "${configs[@]}"; do
  case " ${ALL[*]} " in *" $c "*) ;; *) vx_die "test.sh: unknown configuration '$c' (${ALL[*]})" ;; esac
done

FUZZ_SECONDS=${VX_FUZZ_SECONDS:-}
FUZZ_RUNS=${VX_FUZZ_RUNS:-4000}
LOGS=$VX_BUILD_ROOT/test-logs
mkdir -p "$LOGS"
t_start=$(date +%s)
summary=()
failed=0
tests_passed=0
tests_failed=0
tests_skipped=0
skipped=()
retried=()

# record CONFIG STATUS SECONDS DETAIL
record() {
  summary+=("$(printf '%-8s %-5s %5ss  %s' "$1" "$2" "$3" "$4")")
  [ "$2" != FAIL ] || failed=$((failed + 1))
}

# Runs ctest with the given arguments (optionally behind a wrapper command, set in $wrap),
# keeps its output in $LOGS/<config>.ctest.log and sets ctest_detail and the test counts.
# ctest counts a skipped program as passed, and a program passes with skipped cases inside
# (--gtest_brief=1 does not even print them): every skip is collected by name from ctest's
# log and the programs' XML reports ($LOGS/<config>.gtest/) and listed after the summary.
run_ctest() {
  local config=$1; shift
  local log=$LOGS/$config.ctest.log xml=$LOGS/$config.gtest rc=0
  rm -rf "$xml"; mkdir -p "$xml"
  GTEST_OUTPUT="xml:${xml_drive:-}$xml/" ${wrap:+$wrap} ctest "$@" 2>&1 | tee "$log" || rc=$?
  local list n=0 nprog=0 s
  list=$(python3 scripts/skipped-tests.py "$log" "$xml")
  while IFS= read -r s; do
    [ -n "$s" ] || continue
    skipped+=("$config: $s"); n=$((n + 1))
    case $s in *"(whole program"*) nprog=$((nprog + 1)) ;; esac
  done <<<"$list"
  tests_skipped=$((tests_skipped + n))
  # Steps a host test ran again after the host's own crash (tools/ardour) pass quietly: list them.
  local dir="" a prev=""
  for a in "$@"; do [ "$prev" != --test-dir ] || dir=$a; prev=$a; done
  if [ -n "$dir" ] && [ -f "$dir/Testing/Temporary/LastTest.log" ]; then
    while IFS= read -r s; do retried+=("$config: $s"); done \
      < <(grep -h '^RETRY:' "$dir/Testing/Temporary/LastTest.log" | sed 's/^RETRY: //')
  fi
  if [ "$rc" = 124 ]; then ctest_detail="timed out (see $log)"; return 1; fi
  local line total nfail
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    ctest_detail="no ctest summary (see $log)"; return 1
  fi
  nfail=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  tests_passed=$((tests_passed + total - nfail - nprog))
  tests_failed=$((tests_failed + nfail))
  ctest_detail="$((total - nfail - nprog))/$total test programs passed"
  [ $nprog = 0 ] || ctest_detail+=", $nprog skipped"
  [ $((n - nprog)) = 0 ] || ctest_detail+=", $((n - nprog)) test cases skipped inside them"
  [ "$rc" = 0 ] && [ "$total" -gt 0 ]
}

# Windows modules may import only DLLs every Windows has: zlib, libpng and the compiler's
# runtime are linked statically so the plug-in loads on a bare machine.
check_imports() {
  local dir=$1 bad=0 f dlls extra n=0
  local allowed='^(kernel32|user32|gdi32|msvcrt|advapi32|shell32|ole32|oleaut32|comdlg32|comctl32|msimg32|winmm|shlwapi|uxtheme|imm32|version|ws2_32|bcrypt|dwmapi|uuid)\.dll$'
  while IFS= read -r -d '' f; do
    n=$((n + 1))
    dlls=$(x86_64-w64-mingw32-objdump -p "$f" | awk '/DLL Name/{print tolower($3)}')
    extra=$(grep -vE "$allowed" <<<"$dlls" || true)
    if [ -n "$extra" ]; then
      echo "import check: $f imports non-system DLLs: $(echo $extra)"; bad=1
    fi
  done < <(find "$dir" -path '*/CMakeFiles' -prune -o -type f \
             \( -name '*.exe' -o -name '*.dll' -o -name '*.vst3' \) -print0)
  echo "import check: $n Windows binaries, $([ $bad = 0 ] && echo 'only system DLLs' || echo FAILED)"
  imports_checked=$n
  return $bad
}

step_native() {
  bash scripts/build.sh native || { detail="build failed"; return 1; }
  run_ctest native --test-dir "$VX_BUILD_ROOT/native" --output-on-failure --timeout 600 -j"$VX_JOBS"
  local rc=$?; detail=$ctest_detail; return $rc
}

step_asan() {
  bash scripts/build.sh asan || { detail="build failed"; return 1; }
  # Leak stacks are unwound the slow way (here and for fuzzing): third-party libraries have no
  # frame pointers, and a suppression must see the whole stack to tell their start-up caches
  # from our own leaks.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0} \
  LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$VX_ROOT/scripts/lsan-suppressions.txt} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    run_ctest asan --test-dir "$VX_BUILD_ROOT/asan" --output-on-failure --timeout 900 -j"$VX_JOBS"
  local rc=$?; detail=$ctest_detail; return $rc
}

step_tsan() {
  bash scripts/build.sh tsan || { detail="build failed"; return 1; }
  # The list is read whole before grep looks at it: grep -q stops at the first match, and under
  # pipefail the SIGPIPE ctest would get then reads as "no tests".
  local listed
  listed=$(ctest --test-dir "$VX_BUILD_ROOT/tsan" -N -R tsan)
  if ! grep -qE '^ *Test *#' <<<"$listed"; then
    detail="no test named *tsan* yet"; return 2
  fi
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    run_ctest tsan --test-dir "$VX_BUILD_ROOT/tsan" -R tsan --output-on-failure --timeout 900
  local rc=$?; detail=$ctest_detail; return $rc
}

step_windows() {
  bash scripts/build.sh windows || { detail="build failed"; return 1; }
  check_imports "$VX_BUILD_ROOT/windows" || { detail="import check failed"; return 1; }
  # ctest's per-test timeout ends a hung test; the outer limit also covers Wine itself hanging.
  # (Wine's programs see the build as drive Z:, and GoogleTest wants a drive in an absolute path.)
  xml_drive=Z: wrap="timeout -k 30 ${VX_WINE_TIMEOUT:-2400} bash scripts/wine-run.sh" \
    run_ctest windows --test-dir "$VX_BUILD_ROOT/windows" --output-on-failure --timeout 600
  local rc=$?; detail="$ctest_detail under Wine; $imports_checked binaries import only system DLLs"
  "$VX_WINESERVER" -k 2>/dev/null || true    # whatever a killed run left behind
  return $rc
}

step_fuzz() {
  if [ ! -f fuzz/CMakeLists.txt ]; then detail="no fuzz/ yet"; return 2; fi
  bash scripts/build.sh fuzz || { detail="build failed"; return 1; }
  local dir=$VX_BUILD_ROOT/fuzz f name corpus tmp rc=0 n=0 nbad=0 how
  local -a budget
  if [ -n "$FUZZ_SECONDS" ]; then
    budget=(-max_total_time="$FUZZ_SECONDS"); how="a random campaign of ${FUZZ_SECONDS}s"
  else
    budget=(-seed=1 -runs="$FUZZ_RUNS"); how="seed 1, $FUZZ_RUNS runs"
  fi
  mkdir -p "$dir/artifacts"
  while IFS= read -r f; do
    name=$(basename "$f"); n=$((n + 1))
    corpus=fuzz/corpus/$name
    [ -d "$corpus" ] || corpus=fuzz/corpus/${name#fuzz_}
    tmp=$(mktemp -d)
    if [ -d "$corpus" ]; then cp -r "$corpus/." "$tmp/"; else echo "fuzz: $name has no committed corpus"; fi
    vx_stamp "fuzz: $name, $how, over $(ls "$tmp" | wc -l) corpus files"
    if ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0} \
       LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$VX_ROOT/scripts/lsan-suppressions.txt} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
       "$f" "${budget[@]}" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 \
         -artifact_prefix="$dir/artifacts/$name-" "$tmp" >"$LOGS/fuzz-$name.log" 2>&1; then
      grep -E '^Done [0-9]+ runs' "$LOGS/fuzz-$name.log" | sed "s/^/fuzz: $name: /"
    else
      nbad=$((nbad + 1)); rc=1
      echo "fuzz: $name FAILED; last lines of $LOGS/fuzz-$name.log:"; tail -40 "$LOGS/fuzz-$name.log"
      echo "fuzz: reproduce with $f <artifact>; once mended, commit the artifact to $corpus/"
    fi
    rm -rf "$tmp"
  done < <(find "$dir" -path '*/CMakeFiles' -prune -o -type f -executable -name 'fuzz_*' -print | sort)
  if [ $n = 0 ]; then detail="no fuzz_* targets built"; return 2; fi
  detail="$((n - nbad))/$n targets clean ($how each)"
  return $rc
}

step_bench() {
  if [ ! -f bench/CMakeLists.txt ]; then detail="no bench/ yet"; return 2; fi
  # The native tree builds the benchmark programs beside the tests (nothing to do when the
  # native step ran): they keep compiling without a Release build of every library of their
  # own. Figures come from `bash scripts/build.sh bench` and are not taken here: a shared CI
  # machine's timings mean little.
  bash scripts/build.sh native || { detail="build failed"; return 1; }
  detail="$(find "$VX_BUILD_ROOT/native/bench" -path '*/CMakeFiles' -prune -o -type f -executable -print | wc -l) benchmark programs built, not run"
}

step_gnustep() {
  bash scripts/build.sh gnustep --configure-only || { detail="configure failed"; return 1; }
  # Only the macOS host's tests, the bundle's binary (checked by mac_bundle_layout) and the text
  # tests against the FreeType built from source: the rest of the tree is built and tested by
  # the native build.
  local tests='^(mac_.*|gdiemu_tests|raster_font_test)$'
  local targets=(--target VeldramixMeterMac) t
  while IFS= read -r t; do targets+=(--target "$t"); done < <(ctest --test-dir "$VX_BUILD_ROOT/gnustep" -N -R "$tests" \
    | sed -n 's/^ *Test *#[0-9]*: *//p' | grep -v '^mac_bundle_layout$')
  [ ${#targets[@]} -gt 1 ] || { detail="no mac_* tests"; return 1; }
  bash scripts/build.sh gnustep "${targets[@]}" || { detail="build failed"; return 1; }
  # One X server for the run; every test program also has its own alarm() watchdog and a
  # SIGKILL limit in its ctest command (GNUstep catches SIGTERM).
  wrap="timeout -s KILL ${VX_GNUSTEP_TIMEOUT:-900} bash scripts/xvfb-run.sh" \
    run_ctest gnustep --test-dir "$VX_BUILD_ROOT/gnustep" -R "$tests" --output-on-failure --timeout 300
  local rc=$?; detail="$ctest_detail under Xvfb"; return $rc
}

# ---------------------------------------------------------------------------------------------
vx_stamp "setup"
t0=$(date +%s)
need_windows=0
for c in "${configs[@]}"; do [ "$c" != windows ] || need_windows=1; done
if [ $need_windows = 1 ]; then bash scripts/setup.sh; else bash scripts/setup.sh --native-only; fi
if [ $? != 0 ]; then
  record setup FAIL $(( $(date +%s) - t0 )) "scripts/setup.sh failed"
  printf '%s\n' "${summary[@]}"; exit 1
fi
record setup ok $(( $(date +%s) - t0 )) ""

for c in "${configs[@]}"; do
  echo; vx_stamp "=== $c ==="
  t0=$(date +%s); detail=""
  "step_$c"; rc=$?
  case $rc in 0) st=ok ;; 2) st=skip ;; *) st=FAIL ;; esac
  record "$c" "$st" $(( $(date +%s) - t0 )) "$detail"
done

echo
echo "==================== summary ($(( $(date +%s) - t_start ))s) ===================="
printf '%s\n' "${summary[@]}"
if [ $failed -gt 0 ]; then
  echo "RESULT: FAILED ($failed step(s))"
else
  echo "RESULT: all passed"
fi
# Test programs (ctest entries) over all configurations; each runs a whole GoogleTest suite.
echo "ctest: $tests_passed passed, $tests_failed failed"
if [ ${#skipped[@]} -gt 0 ]; then
  echo "skipped ($tests_skipped: whole programs, and test cases inside programs that passed):"
  printf '  %s\n' "${skipped[@]}"
else
  echo "skipped: none"
fi
[ ${#retried[@]} = 0 ] || { echo "steps run again after the host's own crash:"; printf '  %s\n' "${retried[@]}"; }
[ $failed = 0 ]
