#!/usr/bin/env bash
# The checks CI runs after ./test.sh and a developer runs before a commit: the format of every C++
# file, shellcheck of every shell script, clang-tidy over the build's own sources, and a minute of each
# fuzz target on the corpus kept in tools/fuzz/corpus/. Every step runs; the script fails when any did.
# Usage: scripts/gate.sh [BUILD_DIR]   (a configured and built tree for clang-tidy, default build/)
#        FUZZ_SECONDS=10 scripts/gate.sh   (a shorter fuzz run; CI keeps the default of 60)
#        GATE_STEPS="format shellcheck" scripts/gate.sh   (only these of format shellcheck clang-tidy fuzz)
#        TIDY_DIRS="app check host tools ui tests bench" scripts/gate.sh   (clang-tidy on more than the
#        program and its tools, which CI checks: each file costs some seconds)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$(realpath -m "${1:-$root/build}")"
fuzz_dir="$root/build-fuzz"
fuzz_seconds="${FUZZ_SECONDS:-60}"
tidy_dirs="${TIDY_DIRS:-app check host tools ui}"
jobs="$(nproc)"
cd "$root"

"$root/scripts/install-missing.sh" clang clang-tidy clang-format shellcheck libclang-rt-dev jq cmake make \
    qt6-base-dev libsqlite3-dev

failed=()
timings=()
# step NAME FUNCTION: runs the function, prints its time and remembers whether it failed.
step() {
    local name="$1" started status=0
    shift
    echo "== $name"
    started=$SECONDS
    "$@" || status=$?
    timings+=("$(printf '%-12s %4ds  %s' "$name" $((SECONDS - started)) "$([ "$status" -eq 0 ] && echo ok || echo FAILED)")")
    [ "$status" -eq 0 ] || failed+=("$name")
    echo "== $name: $((SECONDS - started)) s, $([ "$status" -eq 0 ] && echo ok || echo FAILED)"
}

# The tracked files; NUL-separated so that no name is split.
cxx_files() { git ls-files -z -- '*.cpp' '*.h'; }
shell_files() {
    git ls-files -z | while IFS= read -r -d '' file; do
        case "$file" in
        *.sh) printf '%s\0' "$file" ;;
        *) [ -f "$file" ] && head -n 1 "$file" | grep -qE '^#!.*\b(ba)?sh\b' && printf '%s\0' "$file" ;;
        esac
    done
    return 0
}

format_check() {
    echo "clang-format $(clang-format --version | grep -o '[0-9][0-9.]*' | head -n 1): $(cxx_files | tr -cd '\0' | wc -c) files"
    local output unclean
    output="$(cxx_files | xargs -0 -n 20 -P "$jobs" clang-format --dry-run -Werror 2>&1)" && return 0
    mapfile -t unclean < <(sed -n 's/^\([^ :][^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
        <<<"$output" | sort -u)
    if ((${#unclean[@]} == 0)); then
        echo "$output"
        return 1
    fi
    echo "Not formatted as .clang-format asks (${#unclean[@]} files; clang-format -i FILE mends one):"
    printf '  %s\n' "${unclean[@]}"
    return 1
}

shell_check() {
    echo "shellcheck $(shellcheck --version | sed -n 's/^version: //p'): $(shell_files | tr -cd '\0' | wc -c) scripts"
    # -x follows the files that a script sources, named by its "shellcheck source=" lines.
    shell_files | xargs -0 shellcheck -x
}

# The build's own translation units in the folders of TIDY_DIRS: no generated file (moc, rcc).
tidy_pattern() { echo "^$root/(${tidy_dirs// /|})/"; }
own_sources() {
    jq -r '.[].file' "$build_dir/compile_commands.json" | sort -u | grep -E "$(tidy_pattern)" || true
}
tidy_check() {
    if [ ! -f "$build_dir/compile_commands.json" ]; then
        echo "$build_dir/compile_commands.json is missing: configure and build that tree first (./test.sh does)"
        return 1
    fi
    echo "clang-tidy $(clang-tidy --version | grep -o '[0-9][0-9.]*' | head -n 1), checks of .clang-tidy: $(own_sources | wc -l) files of $build_dir in $tidy_dirs"
    local logs
    logs="$(mktemp -d "${TMPDIR:-/tmp}/ordovant-tidy.XXXXXX")"
    # Each file's findings go to a file of their own and are printed whole, not interleaved. The build's
    # own warnings are the compiler's business (-Werror there): clang-tidy reports only its checks.
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    own_sources | tr '\n' '\0' | xargs -0 -P "$jobs" -I '{}' sh -c '
        log="$1/$(printf %s "$2" | md5sum | cut -c1-32)"
        if ! clang-tidy -p "$3" --quiet --header-filter="$4" --extra-arg=-Wno-everything "$2" >"$log.out" 2>&1; then
            touch "$log.failed"
        fi' sh "$logs" '{}' "$build_dir" "$(tidy_pattern)"
    local status=0
    if compgen -G "$logs/*.failed" >/dev/null; then status=1; fi
    # Warnings in a header show up once for every file that includes it.
    cat "$logs"/*.out | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' \
        | grep -vE '^(Suppressed [0-9]+ warnings|Use -header-filter|Use -system-headers)' \
        | awk '/^[^ ].*:[0-9]+:[0-9]+: (warning|error):/ { keep = !seen[$0]++ } keep' || true
    rm -rf "$logs"
    return "$status"
}

# The fuzz targets with Clang in a tree of their own; each runs on a copy of its corpus, so that what
# libFuzzer adds stays out of the checkout.
fuzz_run() {
    cmake -S "$root" -B "$fuzz_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DORDOVANT_FUZZ=ON -DORDOVANT_WERROR=ON \
        -DBUILD_TESTING=OFF >/dev/null || return 1
    cmake --build "$fuzz_dir" -j"$jobs" --target fuzz_split fuzz_switch fuzz_ini >"$fuzz_dir/fuzz-build.log" 2>&1 \
        || { tail -n 60 "$fuzz_dir/fuzz-build.log"; return 1; }
    local work target status=0 options
    work="$(mktemp -d "${TMPDIR:-/tmp}/ordovant-fuzz.XXXXXX")"
    for target in fuzz_split fuzz_switch fuzz_ini; do
        options=()
        [ -f "$root/tools/fuzz/$target.dict" ] && options+=(-dict="$root/tools/fuzz/$target.dict")
        cp -r "$root/tools/fuzz/corpus/$target" "$work/$target"
        mkdir "$work/$target-findings"
        echo "$target: $(find "$work/$target" -type f | wc -l) seeds, $fuzz_seconds s"
        if ! "$fuzz_dir/tools/fuzz/$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
                -artifact_prefix="$work/$target-findings/" "${options[@]}" "$work/$target" \
                >"$work/$target.log" 2>&1; then
            status=1
            tail -n 40 "$work/$target.log"
            for finding in "$work/$target-findings"/*; do
                [ -f "$finding" ] || continue
                mkdir -p "$fuzz_dir/findings"
                cp "$finding" "$fuzz_dir/findings/$target-$(basename "$finding")"
                echo "finding kept as $fuzz_dir/findings/$target-$(basename "$finding")"
            done
        else
            grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$work/$target.log" | tr '\n' ' '
            echo
        fi
    done
    rm -rf "$work"
    return "$status"
}

steps="${GATE_STEPS:-format shellcheck clang-tidy fuzz}"
for name in $steps; do
    case "$name" in
    format) step format format_check ;;
    shellcheck) step shellcheck shell_check ;;
    clang-tidy) step clang-tidy tidy_check ;;
    fuzz) step fuzz fuzz_run ;;
    *) echo "No such step: $name (format, shellcheck, clang-tidy, fuzz)"; exit 2 ;;
    esac
done

echo "== Summary"
printf '%s\n' "${timings[@]}"
if ((${#failed[@]})); then
    echo "Failed: ${failed[*]}"
    exit 1
fi
echo "All checks passed."
