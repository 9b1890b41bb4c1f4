# shellcheck shell=bash
# What make test (run-tests.sh) and make check (check.sh) share, sourced by
# both: the environment they start from, a build, and a preset's tests run
# and summed up. Sets and reads `passed` and `failed`.

# None of the caller's own settings reaches a test: the folders and numbers
# the make commands take, the project's QUILLMERE_* variables, make's own
# flags (they carry a command line's variables to every make below), the
# compiler flags CMake would take into a first build, and Wine's settings.
forget_user_settings() {
  local name
  unset GAME_DIR RIDE FUZZ_SECONDS PROPERTY_SEEDS QUICK FUZZ_SEED \
    MAKEFLAGS MFLAGS MAKELEVEL MAKEOVERRIDES GNUMAKEFLAGS \
    CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CC CXX \
    WINEDEBUG WINEPREFIX WINEARCH WINESERVER WINELOADER WINEDLLOVERRIDES
  for name in $(compgen -e); do
    [[ $name != QUILLMERE_* ]] || unset "$name"
  done
}

# Configures and builds PRESET (its TARGETS, or all), printing only what
# goes wrong, not ninja's progress lines; stops everything if it fails
# (pipefail, which the scripts set, makes a failed build fail the pipe).
build_preset() { # PRESET [TARGET...]
  local preset=$1
  shift
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  echo "== building $preset"
  if ! tools/configure.sh "$preset" ||
    ! cmake --build --preset "$preset" "${targets[@]}" |
    { grep -Ev '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' || true; }; then
    echo "${summary_name:-make}: the $preset build failed"
    exit 1
  fi
}

# The failing tests of a CTest log, each with its first assertion, and no
# passing test: GoogleTest's first failure, or else a script's first FAIL
# lines, or else its last lines.
print_failures() { # LOG
  awk '
    function flush(  i) {
      if (name == "") return
      print "FAILED " name " (" how ")"
      if (first != "") printf "%s", first
      else if (fails != "") printf "%s", fails
      else for (i = (count > 10 ? count - 10 : 0); i < count; i++) print last[i % 10]
      name = ""
    }
    /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / {
      flush()
      if (match($0, /\*\*\*[^ ]+/)) {
        name = $4; how = substr($0, RSTART + 3, RLENGTH - 3)
        first = ""; fails = ""; count = 0; inside = 0; failing = 0
      }
      next
    }
    /^ +Start +[0-9]+: |^[0-9]+% tests passed/ { flush(); next }
    name != "" {
      if (inside && (/^\[  FAILED  \]/ || /: Failure$/)) inside = 0
      if (first == "" && /: Failure$/) inside = 1
      if (inside) first = first $0 "\n"
      if (/FAIL/ && !/^\[  FAILED  \]/ && failing++ < 5) fails = fails $0 "\n"
      last[count++ % 10] = $0
    }
    END { flush() }
  ' "$1"
}

# Runs PRESET's tests (those CTEST_ARGUMENTS choose), prints a line, and adds
# them to passed and failed; the log is build/PRESET/ctest.log.
run_ctest() { # PRESET [CTEST_ARGUMENTS...]
  local preset=$1
  shift
  local log=build/$preset/ctest.log summary total bad
  ctest --preset "$preset" "$@" >"$log" 2>&1 || true
  # "100% tests passed, 0 tests failed out of 60"
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -z "$summary" ]; then
    echo "$preset: CTest ran no test; see $log"
    cat "$log"
    failed=$((failed + 1))
    return
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  echo "$preset: $((total - bad)) passed, $bad failed"
  if [ "$bad" -ne 0 ]; then
    print_failures "$log"
    echo "(all of their output: $log)"
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
