#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Mutation sample: applies each mutant of scripts/mutants.txt in turn to a
# scratch copy of the sources, rebuilds, runs the core and widget tests (the
# end-to-end ones are left out) and tells which mutants the tests catch.
#
#   scripts/mutants.sh [NAME-PART]      only the mutants whose name holds NAME-PART
#   scripts/mutants.sh --check [NAME-PART]   only checks that every anchor is found once
#
# Environment:
#   MUTANTS_REV=REV     take the sources from `git archive REV` instead of the
#                       working tree (tracked and untracked-but-not-ignored files)
#   MUTANTS_DIR=DIR     scratch folder (default build-mutants beside the sources);
#                       DIR/src is the copy, DIR/build its build, kept between runs
#                       so a rerun builds incrementally
#   MUTANTS_LIST=FILE   the mutants (default: mutants.txt beside this script)
#   MUTANTS_SLOW='A.*:B.*'  gtest filter of the slow tests, run only once every
#                       other test has passed (so a killed mutant ends early)
#   MUTANTS_TIMEOUT=S   seconds one test program may run (default 300)
#   JOBS=N              build jobs (default nproc)
#
# The checkout it is started from is only read: every write goes to MUTANTS_DIR.
set -euo pipefail
# A "&" in a replacement text stays an "&".
shopt -u patsub_replacement 2>/dev/null || true

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(git -C "$here" rev-parse --show-toplevel)"
checkOnly=0
if [ "${1:-}" = "--check" ]; then
    checkOnly=1
    shift
fi
filter="${1:-}"
work="${MUTANTS_DIR:-$root/build-mutants}"
list="${MUTANTS_LIST:-$here/mutants.txt}"
slow="${MUTANTS_SLOW:-ImageCrashTest.*}"
limit="${MUTANTS_TIMEOUT:-300}"
jobs="${JOBS:-$(nproc)}"
src="$work/src"
build="$work/build"
logs="$work/logs"
export QT_QPA_PLATFORM=offscreen

die() {
    echo "mutants: $*" >&2
    exit 2
}

# --- The mutants -----------------------------------------------------------
# Blocks separated by blank lines; `name:`, `file:`, `from:`, `to:` lines. A
# second `from:` (or `to:`) line continues the text on a new line.
names=() files=() froms=() tos=()
parse_list() {
    local name="" file="" from="" to="" hasFrom=0 hasTo=0 line key value number=0 start=0
    flush() {
        if [ -z "$name$file" ] && [ $hasFrom -eq 0 ] && [ $hasTo -eq 0 ]; then return; fi
        [ -n "$name" ] || die "$list:$start: a mutant without a name"
        [ -n "$file" ] || die "$list:$start: mutant $name has no file"
        [ $hasFrom -eq 1 ] && [ -n "$from" ] || die "$list:$start: mutant $name has no from"
        [ $hasTo -eq 1 ] || die "$list:$start: mutant $name has no to"
        [ "$from" != "$to" ] || die "$list:$start: mutant $name changes nothing"
        local n
        for n in "${names[@]}"; do [ "$n" != "$name" ] || die "$list:$start: two mutants named $name"; done
        names+=("$name") files+=("$file") froms+=("$from") tos+=("$to")
        name="" file="" from="" to="" hasFrom=0 hasTo=0
    }
    while IFS= read -r line || [ -n "$line" ]; do
        number=$((number + 1))
        line="${line%$'\r'}"
        if [ -z "${line//[[:space:]]/}" ]; then flush; continue; fi
        case "$line" in \#*) continue ;; esac
        [ -n "$name$file" ] || [ $hasFrom -eq 1 ] || [ $hasTo -eq 1 ] || start=$number
        key="${line%%:*}"
        [ "$key" != "$line" ] || die "$list:$number: expected 'key: value'"
        value="${line#*:}"
        value="${value# }"
        case "$key" in
            name) name="$value" ;;
            file) file="$value" ;;
            from) if [ $hasFrom -eq 1 ]; then from+=$'\n'"$value"; else from="$value"; hasFrom=1; fi ;;
            to) if [ $hasTo -eq 1 ]; then to+=$'\n'"$value"; else to="$value"; hasTo=1; fi ;;
            *) die "$list:$number: unknown key '$key'" ;;
        esac
    done <"$list"
    flush
}

# How often `text` occurs in `content` (not overlapping).
count_of() {
    local content="$1" text="$2" rest
    rest="${content//"$text"/}"
    echo $(((${#content} - ${#rest}) / ${#text}))
}

read_whole() {
    # The file exactly, trailing newlines included.
    IFS= read -r -d '' "$1" <"$2" || true
}

# --- The scratch copy ------------------------------------------------------
# Only files whose content differs are rewritten, so the build in $build
# stays incremental from run to run; a rewritten file gets a new time stamp.
sync_sources() {
    local from listing
    mkdir -p "$src" "$logs"
    if [ -n "${MUTANTS_REV:-}" ]; then
        from="$work/rev"
        rm -rf "$from"
        mkdir -p "$from"
        git -C "$root" archive "$MUTANTS_REV" | tar -x -C "$from"
        (cd "$from" && find . -type f -printf '%P\0') >"$work/files"
        echo "mutants: sources of $(git -C "$root" rev-parse --short "$MUTANTS_REV") (git archive $MUTANTS_REV)"
    else
        from="$root"
        # Tracked files and new ones not yet added; ignored ones (builds) never.
        git -C "$root" ls-files -z --cached --others --exclude-standard >"$work/files"
        echo "mutants: sources of the working tree at $root ($(git -C "$root" rev-parse --short HEAD) plus local changes)"
    fi
    local -A wanted=()
    local f
    while IFS= read -r -d '' f; do
        [ -f "$from/$f" ] || continue   # deleted in the working tree, not yet in git
        wanted["$f"]=1
        if ! cmp -s "$from/$f" "$src/$f"; then
            mkdir -p "$(dirname "$src/$f")"
            rm -f "$src/$f"
            cp "$from/$f" "$src/$f"
        fi
    done <"$work/files"
    while IFS= read -r -d '' f; do
        [ -n "${wanted[$f]:-}" ] || rm -f "$src/$f"
    done < <(cd "$src" && find . -type f -printf '%P\0')
    find "$src" -mindepth 1 -type d -empty -delete
    [ -z "${MUTANTS_REV:-}" ] || rm -rf "$from"
}

# --- Building and testing --------------------------------------------------
build_all() {
    cmake --build "$build" -j "$jobs" >"$1" 2>&1
}

# The test programs ctest knows that were built here (GoogleTest programs;
# the end-to-end and layering scripts left out).
test_programs() {
    (cd "$build" && ctest -N -V -E '^e2e_') | sed -n 's/^.*Test command: \([^ ]*\).*$/\1/p' | grep "^$build/" | sort -u
}

# Runs every test program with one gtest filter, all at once, each stopping
# at its first failure; 0 when all pass. The failed tests go to $failed.
failed=""
failedRuns=()
run_stage() {
    local prefix="$1" gfilter="$2" pids=() i=0 rc=0 p tests
    for p in "${programs[@]}"; do
        (cd "$build" && exec timeout -k 10 "$limit" "$p" --gtest_fail_fast --gtest_brief=1 "--gtest_filter=$gfilter") \
            >"$prefix.$i.log" 2>&1 &
        pids+=($!)
        i=$((i + 1))
    done
    for i in "${!pids[@]}"; do
        if ! wait "${pids[$i]}"; then
            rc=1
            tests="$(failed_names "$prefix.$i.log")"
            if [ -z "$tests" ]; then
                failed+="${programs[$i]##*/} ($(tail -n 1 "$prefix.$i.log" | cut -c1-80)) "
            else
                failed+="$(echo "$tests" | tr '\n' ' ')"
            fi
            failedRuns+=("$i|$(echo "$tests" | paste -sd: -)")
        fi
    done
    return $rc
}

failed_names() {
    sed -n 's/^\[  FAILED  \] \([^ ,]*\).*$/\1/p' "$1" | grep -v '^[0-9]' | sort -u || true
}

# A failure counts once it happens again with nothing else running: a test
# that fails only under load is no verdict. 0 when one failure repeats.
confirm() {
    local prefix="$1" gfilter="$2" run i tests only
    for run in "${failedRuns[@]}"; do
        IFS='|' read -r i tests <<<"$run"
        only="$gfilter"
        [ -z "$tests" ] || only="$tests"
        if ! (cd "$build" && exec timeout -k 10 "$limit" "${programs[$i]}" --gtest_brief=1 "--gtest_filter=$only") \
            >"$prefix.again.log" 2>&1; then
            return 0
        fi
    done
    return 1
}

# The programs one after the other, each run whole: the verdict after a
# failure that did not repeat, since the first run stopped at it.
run_alone() {
    local prefix="$1" gfilter="$2" i
    for i in "${!programs[@]}"; do
        if ! (cd "$build" && exec timeout -k 10 "$limit" "${programs[$i]}" --gtest_brief=1 "--gtest_filter=$gfilter") \
            >"$prefix.alone.$i.log" 2>&1; then
            local tests
            tests="$(failed_names "$prefix.alone.$i.log")"
            failed="${tests:-${programs[$i]##*/} ($(tail -n 1 "$prefix.alone.$i.log" | cut -c1-80))}"
            failed="$(echo "$failed" | tr '\n' ' ')"
            return 1
        fi
    done
    return 0
}

# 0: every test passed. 1: a test failed, and failed again; $failed names it.
# The slow tests run only after all others have passed.
run_tests() {
    local prefix="$1" stage gfilter noted=""
    failed=""
    for stage in 1 2; do
        if [ $stage -eq 1 ]; then gfilter="-$slow"; else gfilter="$slow"; fi
        failedRuns=()
        failed=""
        if ! run_stage "$prefix.stage$stage" "$gfilter"; then
            if confirm "$prefix.stage$stage" "$gfilter"; then return 1; fi
            noted+="$failed"
            failed=""
            if ! run_alone "$prefix.stage$stage" "$gfilter"; then return 1; fi
        fi
    done
    failed="$noted"
    return 0
}

# --- Main ------------------------------------------------------------------
[ -f "$list" ] || die "no mutant list $list"
parse_list
[ ${#names[@]} -gt 0 ] || die "$list holds no mutant"

selected=()
for i in "${!names[@]}"; do
    if [ -z "$filter" ] || [[ "${names[$i]}" == *"$filter"* ]]; then selected+=("$i"); fi
done
[ ${#selected[@]} -gt 0 ] || die "no mutant's name holds '$filter'"

started=$SECONDS
# A check only reads the working tree itself, never the scratch copy that a
# run may be building from at the same time.
if [ $checkOnly -eq 1 ] && [ -z "${MUTANTS_REV:-}" ]; then src="$root"; else sync_sources; fi

# Every anchor must be there exactly once before anything is built.
bad=0
for i in "${selected[@]}"; do
    path="$src/${files[$i]}"
    if [ ! -f "$path" ]; then
        echo "mutants: ${names[$i]}: no file ${files[$i]}" >&2
        bad=1
        continue
    fi
    read_whole content "$path"
    n="$(count_of "$content" "${froms[$i]}")"
    if [ "$n" -ne 1 ]; then
        echo "mutants: ${names[$i]}: the 'from' text occurs $n times in ${files[$i]}, not once" >&2
        bad=1
    fi
done
[ $bad -eq 0 ] || die "fix the mutant list: $list"
if [ $checkOnly -eq 1 ]; then
    echo "mutants: all ${#selected[@]} anchors found once"
    exit 0
fi

echo "mutants: configuring and building $build"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNECRATE_BUILD_BENCH=OFF \
    >"$logs/configure.log" 2>&1 || { cat "$logs/configure.log"; die "configuring failed"; }
build_all "$logs/build.log" || { tail -n 40 "$logs/build.log"; die "the unchanged sources do not build"; }
mapfile -t programs < <(test_programs)
[ ${#programs[@]} -gt 0 ] || die "ctest lists no test program"
echo "mutants: test programs: ${programs[*]#"$build"/}"

# Verdicts mean nothing unless the unchanged sources pass.
t=$SECONDS
if ! run_tests "$logs/baseline"; then
    die "the unchanged sources fail: $failed (logs in $logs)"
fi
echo "mutants: the unchanged sources pass ($((SECONDS - t)) s)${failed:+; failed once, not again: $failed}"

current=""   # the file being mutated, put back on any exit
original=""
restore() {
    if [ -n "$current" ]; then
        printf '%s' "$original" >"$current"
        current=""
    fi
}
trap restore EXIT
trap 'exit 130' INT TERM

results=()
killed=0 total=0 stillborn=0
for i in "${selected[@]}"; do
    name="${names[$i]}"
    path="$src/${files[$i]}"
    t=$SECONDS
    read_whole original "$path"
    [ "$(count_of "$original" "${froms[$i]}")" -eq 1 ] || die "$name: the 'from' text is not in ${files[$i]} exactly once"
    current="$path"
    printf '%s' "${original/"${froms[$i]}"/"${tos[$i]}"}" >"$path"
    note=""
    if ! build_all "$logs/$name.build.log"; then
        verdict="stillborn"
        note="$(grep -m1 -E 'error' "$logs/$name.build.log" | cut -c1-160 || true)"
        stillborn=$((stillborn + 1))
    elif run_tests "$logs/$name"; then
        verdict="survived"
        total=$((total + 1))
        [ -z "$failed" ] || note="failed once, not again: $failed"
    else
        verdict="killed"
        note="by $failed"
        killed=$((killed + 1))
        total=$((total + 1))
    fi
    restore
    line="$(printf '%-9s %-44s %-30s %4ss  %s' "$verdict" "$name" "${files[$i]}" "$((SECONDS - t))" "$note")"
    echo "$line"
    results+=("$line")
done
# The restored files build again, so the next run starts from the sources.
build_all "$logs/build-after.log" || echo "mutants: warning: the restored sources did not build" >&2

echo
echo "verdict   mutant                                       file                           time  note"
printf '%s\n' "${results[@]}" | tee "$work/results.txt"
echo "stillborn (did not compile, counted neither way): $stillborn"
echo "took $((SECONDS - started)) s"
echo "mutants: $killed killed / $total total" | tee -a "$work/results.txt"
