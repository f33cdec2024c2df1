#!/usr/bin/env bash
# How many small faults in the conversion jobs' decisions the fast tests
# catch. Each mutation below changes one decision of src/jobs/*.cpp or of the
# engine's pool (a
# comparison flipped, a condition negated, && and || swapped, a number off by
# one, a statement dropped); one at a time, it is applied to a copy of the
# tree kept in the cache folder (never to the checkout), the unit tests are
# built and run, then, if they all pass, the window tests (offscreen, without
# the office's windows test, which starts the real office). Between
# mutations the copy is restored; only what a mutation touches is compiled
# again.
#
# One line per mutation: its name, file:line, what changed, and
#   killed (test NAME)   a test failed: the fault is caught
#   killed (build)       it did not compile (a mutation to fix, not a catch)
#   killed (timeout)     the tests ran longer than three times the unmutated
#                        tree's time and were ended
#   survived             every test passed: a gap, unless the change cannot
#                        alter what the program does
#   stale                its text is not found exactly once any more: the list
#                        needs updating
# then "killed K / N" and the names of the survivors. The output of each
# mutation's build and tests is kept in the cache folder's logs/. The tree
# is first built and tested unmutated; when that fails, nothing is measured
# and the status is 1. Otherwise the status is 0 whatever survives: this
# measures the tests, it is not one.
# Usage: bench/mutants.sh [--only NAME]
#        (the copy and its build: ${XDG_CACHE_HOME:-~/.cache}/quillpg/mutants)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
only=
while (($#)); do
    case $1 in
    --only) only=${2:-}; shift 2 ;;
    *) echo "usage: $0 [--only NAME]" >&2; exit 2 ;;
    esac
done

# Each mutation: "NAME FILE" (below src/jobs; ../engine/ for the engine's), then its text as "- " lines and
# what replaces it as "+ " lines (none: the text is dropped). The text must
# occur exactly once in the file; a line or two around the change make it so.
# Not listed, as they cannot change what the program does:
# - dropping either reset of the stop request in JobState::Run (constructor or
#   destructor): the other one resets it before anything reads it;
# - negating the verdict a handler passes back, in LinkedHandler::forward or
#   in the lower-casing handler: the two lower-casing handlers in a row cancel
#   the negations out (and || for && in forward calls a null handler, which
#   the compiler reports);
# - dropping the lower-casing handler's toLower: the listed handler before it
#   has lower-cased the text;
# - || for && in stopRunningJob: stopAfterCurrent leaves a job that does not
#   run alone;
# - >= for > in longestFileName: no file system reports a longest name of 0.
mutations() {
    cat <<'EOF'
queue-empty WorkQueue.cpp
- if (items_.empty())
+ if (!items_.empty())

item-refusal WorkItem.cpp
- if (!refusal_.isEmpty())
+ if (refusal_.isEmpty())

item-pagename-or WorkItem.cpp
- !pageName.isEmpty() && converter->hasMember
+ !pageName.isEmpty() || converter->hasMember

pages-first-number BatchState.cpp
- for (int n = 2;
+ for (int n = 1;

batch-last-file BatchState.cpp
- for (int i = 0; i < listed.listCount(); ++i) {
+ for (int i = 0; i < listed.listCount() - 1; ++i) {

batch-others-queued BatchState.cpp
- else if (!wasChosen)
+ else if (wasChosen)

batch-none-found BatchState.cpp
- if (acceptedIndex == 0)
+ if (acceptedIndex != 0)


batch-drop-page-name BatchState.cpp
- item->setPageName(pageName);

nodocs-first-match BatchState.cpp
- if (chain.accepts(extension))
-                 return QString();
+ if (!chain.accepts(extension))
+                 return QString();

nodocs-order BatchState.cpp
- return a.second > b.second;
+ return a.second < b.second;


job-stop-idle JobState.cpp
- if (!running_)
-         return;
-     stop_ = why;
+ if (running_)
+         return;
+     stop_ = why;

job-close-keeps-waiting JobState.cpp
- if (why != JobStop::Closed)
+ if (why == JobStop::Closed)


job-drop-go-on JobState.cpp
- goOn_ = true;
-     // Asked from inside
+ // Asked from inside

job-stopped-goes-on JobState.cpp
- while (goOn_ && stop_ == JobStop::None
+ while (goOn_ && stop_ != JobStop::None

job-room-or-equal JobState.cpp
- int(inFlight_.size()) < room
+ int(inFlight_.size()) <= room

job-no-waiting-beside JobState.cpp
- offices + 1 : 1
+ offices : 1

job-sync-converted JobState.cpp
- if (submitted_ == before)
+ if (submitted_ != before)

job-result-failure-stops JobState.cpp
- markFailed(flight.document, &error);
-             goOn_ = onFailure_ == OnFailure::GoOn;
+ markFailed(flight.document, &error);
+             goOn_ = onFailure_ != OnFailure::GoOn;

job-finish-while-converting JobState.cpp
- if (inFlight_.empty())
-         finishJob();
+ if (!inFlight_.empty())
+         finishJob();

job-unknown-result JobState.cpp
- if (found == inFlight_.end())
+ if (found != inFlight_.end())

job-converts-next JobState.cpp
- if (!mediator().windows().convertsNext(*item))
+ if (mediator().windows().convertsNext(*item))

job-drop-reset JobState.cpp
- total_ = started_ = converted_ = failed_ = dropped_ = 0;

job-drop-total JobState.cpp
- ++total_;

fail-closed-or JobState.cpp
- !list.hasRow(document) && stop_ != JobStop::Closed
+ !list.hasRow(document) || stop_ != JobStop::Closed

fail-cancelled JobState.cpp
- number == ErrorNumber::DialogCancelled;
+ number != ErrorNumber::DialogCancelled;

fail-detail JobState.cpp
- if (!cancelled)
+ if (cancelled)

ext-match ExtensionFilter.cpp
- if (list_.list(i).toLower() == ext)
+ if (list_.list(i).toLower() != ext)

ext-accepted-and ExtensionFilter.cpp
- return accepted || forward(ext);
+ return accepted && forward(ext);

ext-last-entry ExtensionFilter.cpp
- for (int i = 0; i < count; ++i) {
+ for (int i = 0; i < count - 1; ++i) {

folder-errno-or FolderNames.cpp
- (errno != ENOENT && errno != ENOTDIR)
+ (errno != ENOENT || errno != ENOTDIR)

folder-root-slash FolderNames.cpp
- path = slash == 0 ?
+ path = slash != 0 ?

folder-attempts-or FolderNames.cpp
- fd < 0 && attempt < 8
+ fd < 0 || attempt < 8

folder-ignores-case FolderNames.cpp
- names.ignoresCase = ::stat(other.constData(), &found) == 0;
+ names.ignoresCase = ::stat(other.constData(), &found) != 0;

folder-drop-unlink FolderNames.cpp
- ::unlink(probe.constData());

conv-name-room Converters.cpp
- encodeFileName(name).size()) > allowed)
+ encodeFileName(name).size()) >= allowed)

conv-warned Converters.cpp
- if (!warnings.isEmpty())
-         mediator.windows()
+ if (warnings.isEmpty())
+         mediator.windows()

conv-failed-result Converters.cpp
- if (result.converted)
-         return staging.commit
+ if (!result.converted)
+         return staging.commit

conv-disk-full Converters.cpp
- if (staging.diskFull())
+ if (!staging.diskFull())

conv-default-page Converters.cpp
- pageName_.isEmpty() ? baseName
+ !pageName_.isEmpty() ? baseName

conv-drop-next Converters.cpp
- port.showMainWindow();
-         nextDocument(mediator);
+ port.showMainWindow();

pool-drop-close-after-failure ../engine/WordProcessorPool.cpp
- closeActiveWindow(word);
-         } catch (...) {
+ } catch (...) {

pool-format ../engine/WordProcessorPool.cpp
- request.format == PageFormat::Full ? fullPage
+ request.format != PageFormat::Full ? fullPage

pool-open-folder ../engine/WordProcessorPool.cpp
- if (!request.openFolder.isEmpty())
+ if (request.openFolder.isEmpty())

pool-warnings ../engine/WordProcessorPool.cpp
- if (said.type() == Variant::Type::Text)
+ if (said.type() != Variant::Type::Text)

conv-adds-htm Converters.cpp
- lastIndexOf(u'.') <= 0)
+ lastIndexOf(u'.') < 0)

stage-empty-file PageStaging.cpp
- if (info.st_size == 0)
+ if (info.st_size != 0)

stage-prefix-or PageStaging.cpp
- (name != staged && !name.startsWith(picturePrefix))
+ (name != staged || !name.startsWith(picturePrefix))

stage-drop-moved PageStaging.cpp
- moved.push_back(name);

stage-release-in-use PageStaging.cpp
- if (f.inUse)
-             return false;
+ if (!f.inUse)
+             return false;

fs-extension-window FileSystem.cpp
- fromEnd <= 5
+ fromEnd < 5


mediator-found Mediator.cpp
- if (chain.accepts(extension))
-                     view.addFound
+ if (!chain.accepts(extension))
+                     view.addFound
EOF
}

cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillpg/mutants
tree=$cache/tree
build=$tree/build
logs=$cache/logs
mkdir -p "$tree" "$logs"
# Paths below the copy count relative to it, so the compiler cache serves
# the checkout's objects here too.
export CCACHE_BASEDIR=$tree

# Read the list: names, files, texts and replacements, in order.
names=() files=() originals=() replacements=()
while IFS= read -r line; do
    case $line in
    '' | '#'*) ;;
    '- '*) originals[-1]+=${originals[-1]:+$'\n'}${line#- } ;;
    '+ '*) replacements[-1]+=${replacements[-1]:+$'\n'}${line#+ } ;;
    *) names+=("${line%% *}"); files+=("src/jobs/${line#* }"); originals+=(""); replacements+=("") ;;
    esac
done < <(mutations)
if [[ -n $only ]] && ! printf '%s\n' "${names[@]}" | grep -qxF -- "$only"; then
    echo "no mutation named $only" >&2
    exit 2
fi

# The copy: the checkout as it is (changes not yet committed included),
# without its build folders. Files keep their times, so unchanged ones are
# not compiled again; the mutated ones are always compiled again, since a
# run that was interrupted may have left their objects mutated.
# A copy made from another checkout starts afresh: its files' times say
# nothing about what the objects there were compiled from.
if [[ "$(cat "$cache/source" 2>/dev/null)" != "$root" ]]; then
    rm -rf "$tree"
    mkdir -p "$tree"
    printf '%s\n' "$root" >"$cache/source"
fi
tar -C "$root" --exclude='./build*' --exclude=./.git --exclude=./.cache -cf - . | tar -C "$tree" -xf -
for f in "${files[@]}"; do touch "$tree/$f"; done
[[ -f $build/build.ninja ]] || cmake -S "$tree" -B "$build" -G Ninja >"$logs/configure.log" 2>&1 ||
    { echo "cannot configure $build (see $logs/configure.log)"; exit 1; }

# The fast tests: the unit tests, then the window tests but those that start
# the real office (they use its test server).
listed() { ctest --test-dir "$build" -N -L "$1" 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p'; }
mapfile -t unit < <(listed '^unit$')
office=$(grep -l 'OfficeTestServer.h' "$tree"/tests/gui/*.cpp | sed 's|.*/|gui_|; s|\.cpp$||')
mapfile -t gui < <(listed '^gui$' | grep -vxF "$office")

# phase LOG LIMIT TESTS...: builds the tests and runs them, at most LIMIT
# seconds; prints what ended them ("build", "timeout", "test NAME") or
# nothing when all passed.
phase() {
    local log=$1 limit=$2 failed
    shift 2
    if ! ninja -C "$build" -j2 "$@" >>"$log" 2>&1; then
        echo build
        return
    fi
    local pattern
    pattern="^($(IFS='|'; echo "$*"))\$"
    timeout -k 10 "$limit" ctest --test-dir "$build" -R "$pattern" -j2 --stop-on-failure \
        --output-on-failure >>"$log" 2>&1
    case $? in
    0) ;;
    124 | 137) echo timeout ;;
    *)
        failed=$(sed -n 's/.*Test *#[0-9]*: \([A-Za-z0-9_]*\) .*\*\*\*\(Failed\|Exception\|Timeout\).*/\1/p' "$log" |
                 sort -u | paste -sd, -)
        echo "test ${failed:-?}" ;;
    esac
}

# The unmutated tree must build and pass; the time of its tests alone (run
# again once built) sets the limit.
result=$(phase "$logs/unmutated.log" 1800 "${unit[@]}" "${gui[@]}")
if [[ -n $result ]]; then
    echo "the unmutated tree fails ($result); see $logs/unmutated.log"
    exit 1
fi
rm -f "$logs/unmutated.log"
start=$SECONDS
phase "$logs/unmutated.log" 1800 "${unit[@]}" "${gui[@]}" >/dev/null
limit=$((3 * (SECONDS - start) + 30))

# The file's text, exactly (command substitution would drop final newlines).
contents() { local t; t=$(cat "$1"; printf x); printf '%s' "${t%x}"; }
restore=
trap '[[ -n $restore ]] && printf "%s" "$pristine" >"$restore"' EXIT
trap 'exit 130' INT TERM

killed=0 total=0 survivors=()
for i in "${!names[@]}"; do
    name=${names[i]} file=${files[i]} original=${originals[i]} replacement=${replacements[i]}
    [[ -z $only || $name == "$only" ]] || continue
    path=$tree/$file
    pristine=$(contents "$path")
    rest=${pristine//"$original"/}
    occurs=$((${#original} ? (${#pristine} - ${#rest}) / ${#original} : 0))
    # What changed: the text that differs, widened to whole words when the
    # difference starts or ends inside one.
    p=0 s=0
    while [[ ${original:p:1} == "${replacement:p:1}" && p -lt ${#original} ]]; do ((p++)); done
    while ((s < ${#original} - p && s < ${#replacement} - p)) &&
        [[ ${original: -s-1:1} == "${replacement: -s-1:1}" ]]; do ((s++)); done
    if [[ ${original:p:1}${replacement:p:1} == *[![:space:]]* ]]; then
        while ((p > 0)) && [[ ${original:p-1:1} != [[:space:]] ]]; do ((p--)); done
    fi
    if ((s > 0)) && [[ ${original: -s-1:1}${replacement: -s-1:1} == *[![:space:]]* ]]; then
        while ((s > 0)) && [[ ${original: -s:1} != [[:space:]] ]]; do ((s--)); done
    fi
    from=${original:p:${#original}-p-s} to=${replacement:p:${#replacement}-p-s}
    from=$(tr -s ' \n' ' ' <<<"$from" | sed 's/^ //; s/ $//') to=$(tr -s ' \n' ' ' <<<"$to" | sed 's/^ //; s/ $//')
    if [[ -z $to ]]; then change="dropped '$from'"; else change="'$from' -> '$to'"; fi
    if ((occurs != 1)); then
        printf '%-24s %-34s %-48s stale (found %d times)\n' "$name" "$file" "$change" "$occurs"
        continue
    fi
    before=${pristine%%"$original"*}${original:0:p}
    lines=${before//[!$'\n']/}
    where=$file:$((${#lines} + 1))

    log=$logs/$name.log
    : >"$log"
    restore=$path
    printf '%s' "${pristine/"$original"/"$replacement"}" >"$path"
    result=$(phase "$log" "$limit" "${unit[@]}")
    [[ -n $result ]] || result=$(phase "$log" "$limit" "${gui[@]}")
    printf '%s' "$pristine" >"$path"
    restore=

    ((total++))
    if [[ -n $result ]]; then
        ((killed++))
        verdict="killed ($result)"
    else
        survivors+=("$name")
        verdict=survived
    fi
    printf '%-24s %-34s %-48s %s\n' "$name" "$where" "$change" "$verdict"
done
echo "killed $killed / $total"
((${#survivors[@]})) && echo "survived: ${survivors[*]}"
exit 0
