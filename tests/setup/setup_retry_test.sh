#!/usr/bin/env bash
# Runs scripts/setup with stand-ins for the package tools first on the
# search path, so that no real package is looked up or installed:
#
#   setup_retry_test.sh SETUP
#
# - apt-get update fails twice with a mirror in mid-sync, then goes
#   through: the install runs once, after the third update, and setup ends
#   with 0;
# - apt-get update never goes through and the install then fails: setup
#   ends with 1 and says that the install failed after the update kept
#   failing, with the index that could not be fetched, and to try later.
#
# - the fetch of Wine's test files (setup's last step) tries the update of
#   its source lists and the download again, and one that never goes
#   through ends with 1 and the reason.
#
# The stand-in dpkg-query says that no package is installed, so setup
# takes the install path every time. Each case runs as root and as a user
# with sudo (the stand-in id says which), whoever runs the test.
set -uo pipefail
setup=$(realpath "${1:?usage: setup_retry_test.sh SETUP}")

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs=$work/bin
mkdir -p "$stubs"

# What a mirror in mid-sync makes apt-get update print.
fetch_error='E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/main/binary-i386/Packages.xz  File has unexpected size (1234 != 5678). Mirror sync in progress? [IP: 192.0.2.1 80]'

# Every stand-in appends its command line to calls.txt. apt-get update
# fails QW_STUB_UPDATE_FAILS times (a count kept in updates.txt), an
# install fails when QW_STUB_INSTALL_FAILS is 1, anything else fails.
cat >"$stubs/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$QW_STUB_DIR/calls.txt"
command=""
skip=0
for word in "$@"; do
    if [ "$skip" = 1 ]; then skip=0; continue; fi
    case "$word" in
    -o | -t) skip=1 ;;
    -*) ;;
    *) command=$word; break ;;
    esac
done
case "$command" in
source)
    echo "'http://mirror.invalid/wine.orig.tar.xz' wine_8.0.orig.tar.xz 100 SHA256:0123"
    exit 0 ;;
update)
    n=$(cat "$QW_STUB_DIR/updates.txt" 2>/dev/null || echo 0)
    echo $((n + 1)) >"$QW_STUB_DIR/updates.txt"
    if [ "$n" -lt "$QW_STUB_UPDATE_FAILS" ]; then
        echo "W: Some index files failed to download." >&2
        echo "$QW_STUB_FETCH_ERROR" >&2
        exit 100
    fi
    exit 0 ;;
install)
    [ "$QW_STUB_INSTALL_FAILS" = 1 ] && { echo "E: Unable to locate package cmake" >&2; exit 100; }
    exit 0 ;;
esac
exit 1
EOF
cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/sh
echo "dpkg-query $*" >>"$QW_STUB_DIR/calls.txt"
case "$*" in *source:Version*) [ -n "${QW_STUB_WINE:-}" ] && { printf '%s' "$QW_STUB_WINE"; exit 0; } ;; esac
printf 'unknown ok not-installed'
exit 1
EOF
cat >"$stubs/dpkg" <<'EOF'
#!/bin/sh
echo "dpkg $*" >>"$QW_STUB_DIR/calls.txt"
[ "$1" = --print-foreign-architectures ] && { echo i386; exit 0; }
exit 1
EOF
cat >"$stubs/id" <<'EOF'
#!/bin/sh
[ "$1" = -u ] && { echo "$QW_STUB_UID"; exit 0; }
exit 1
EOF
cat >"$stubs/sudo" <<'EOF'
#!/bin/sh
echo "sudo $*" >>"$QW_STUB_DIR/calls.txt"
exec "$@"
EOF
# The download fails QW_STUB_DOWNLOAD_FAILS times, then gives the tarball.
cat >"$stubs/apt-helper" <<'EOF'
#!/bin/sh
echo "apt-helper $*" >>"$QW_STUB_DIR/calls.txt"
n=$(cat "$QW_STUB_DIR/downloads.txt" 2>/dev/null || echo 0)
echo $((n + 1)) >"$QW_STUB_DIR/downloads.txt"
[ "$n" -lt "$QW_STUB_DOWNLOAD_FAILS" ] && { echo "E: Failed to fetch $2  Connection timed out" >&2; exit 100; }
cp "$QW_STUB_TARBALL" "$3"
EOF
chmod +x "$stubs"/*

# run_setup CASE UID UPDATE_FAILS INSTALL_FAILS TRIES: setup's exit code in
# CASE/rc, its standard error in CASE/err, the stand-ins' calls in
# CASE/calls.txt.
run_setup() {
    local dir=$work/$1
    mkdir -p "$dir"
    env PATH="$stubs:$PATH" TMPDIR="$dir" QW_STUB_DIR="$dir" QW_STUB_UID="$2" \
        QW_STUB_UPDATE_FAILS="$3" QW_STUB_INSTALL_FAILS="$4" QW_STUB_FETCH_ERROR="$fetch_error" \
        QW_APT_UPDATE_TRIES="$5" QW_APT_UPDATE_PAUSE=0 QW_SETUP_NO_EMULATOR=1 QW_SETUP_NO_WINE_TESTS=1 \
        bash "$setup" >"$dir/out" 2>"$dir/err" </dev/null
    echo $? >"$dir/rc"
}

count() { grep -cxF "$1" "$2"; }

for who in root:0 user:1000; do
    name=${who%%:*}
    uid=${who#*:}
    apt=""
    [ "$name" = user ] && apt="sudo "

    ok=$name-recovers
    run_setup "$ok" "$uid" 2 0 6
    dir=$work/$ok
    [ "$(cat "$dir/rc")" = 0 ] || fail "$ok: setup ended with $(cat "$dir/rc"): $(cat "$dir/err")"
    [ "$(grep -c '^apt-get update' "$dir/calls.txt")" = 3 ] ||
        fail "$ok: apt-get update ran $(grep -c '^apt-get update' "$dir/calls.txt") times, not 3"
    [ "$(count "${apt}apt-get update -qq" "$dir/calls.txt")" = 3 ] ||
        fail "$ok: the updates were not run ${apt:-without sudo}"
    first=$(grep -m1 '^apt-get install' "$dir/calls.txt")
    [ "$first" = "apt-get install -y -qq --no-install-recommends cmake g++ make googletest g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 wine64 fonts-wine fonts-ipafont-gothic xvfb xauth python3 imagemagick locales" ] ||
        fail "$ok: the first install was \"$first\""
    [ "$(grep -n '' "$dir/calls.txt" | grep -m1 'apt-get install' | cut -d: -f1)" -gt \
      "$(grep -n '' "$dir/calls.txt" | grep 'apt-get update' | tail -n1 | cut -d: -f1)" ] ||
        fail "$ok: an install ran before the last update"
    for try in 1 2; do
        grep -qxF "setup: apt-get update failed ($fetch_error); retrying in 0 s ($try of 6)" "$dir/err" ||
            fail "$ok: no retry message for try $try: $(cat "$dir/err")"
    done
    grep -q 'could not install' "$dir/err" && fail "$ok: an install was said to fail: $(cat "$dir/err")"
    [ "$name" = root ] && grep -q '^sudo' "$dir/calls.txt" && fail "$ok: sudo ran as root"

    bad=$name-gives-up
    run_setup "$bad" "$uid" 99 1 3
    dir=$work/$bad
    [ "$(cat "$dir/rc")" = 1 ] || fail "$bad: setup ended with $(cat "$dir/rc"), not 1"
    [ "$(grep -c '^apt-get update' "$dir/calls.txt")" = 3 ] ||
        fail "$bad: apt-get update ran $(grep -c '^apt-get update' "$dir/calls.txt") times, not 3"
    [ "$(grep -c '^apt-get install' "$dir/calls.txt")" = 1 ] ||
        fail "$bad: apt-get install ran $(grep -c '^apt-get install' "$dir/calls.txt") times, not once"
    grep -qxF "setup: apt-get update failed 3 times ($fetch_error); going on with the package lists apt has" "$dir/err" ||
        fail "$bad: no message that setup goes on with the lists apt has: $(cat "$dir/err")"
    grep -qE "^setup: could not install cmake .* locales after apt-get update kept failing: $(printf '%s' "$fetch_error" | sed 's/[][().?]/\\&/g')\$" "$dir/err" ||
        fail "$bad: the failed install does not name the index: $(cat "$dir/err")"
    grep -qxF "setup: the package mirror may be in the middle of a sync; try again later" "$dir/err" ||
        fail "$bad: no \"try again later\": $(cat "$dir/err")"
done

# Wine's test files, fetched as setup's last step: the update of the
# source lists and the download are each tried again, and a fetch that
# never goes through fails with the reason.
tree=$work/tarball/wine-8.0
for file in advapi32/tests/registry.c ntdll/tests/reg.c kernel32/tests/file.c kernel32/tests/path.c; do
    mkdir -p "$tree/dlls/$(dirname "$file")"
    echo "/* $file */" >"$tree/dlls/$file"
done
tar -cJf "$work/wine.tar.xz" -C "$work/tarball" wine-8.0
fetch=$(dirname "$setup")/fetch-wine-tests
run_fetch() {
    local dir=$work/$1
    mkdir -p "$dir"
    env PATH="$stubs:$PATH" TMPDIR="$dir" QW_STUB_DIR="$dir" QW_STUB_WINE=8.0~repack-4 \
        QW_STUB_UPDATE_FAILS="$2" QW_STUB_DOWNLOAD_FAILS="$3" QW_STUB_FETCH_ERROR="$fetch_error" \
        QW_STUB_TARBALL="$work/wine.tar.xz" QW_APT_HELPER="$stubs/apt-helper" \
        QW_FETCH_TRIES=3 QW_FETCH_PAUSE=0 QW_WINE_TESTS_DIR="$dir/dest" \
        bash "$fetch" >"$dir/out" 2>"$dir/err" </dev/null
    echo $? >"$dir/rc"
}
run_fetch fetch-recovers 2 1
dir=$work/fetch-recovers
[ "$(cat "$dir/rc")" = 0 ] || fail "fetch-recovers: ended with $(cat "$dir/rc"): $(cat "$dir/err")"
grep -qxF "fetch-wine-tests: apt-get update of the source lists failed ($fetch_error); retrying in 0 s (2 of 3)" "$dir/err" ||
    fail "fetch-recovers: no second retry of the update: $(cat "$dir/err")"
grep -qxF "fetch-wine-tests: the download of wine_8.0.orig.tar.xz failed (E: Failed to fetch http://mirror.invalid/wine.orig.tar.xz  Connection timed out); retrying in 0 s (1 of 3)" "$dir/err" ||
    fail "fetch-recovers: no retry of the download: $(cat "$dir/err")"
grep -q "source --print-uris wine=8.0~repack-4\$" "$dir/calls.txt" ||
    fail "fetch-recovers: the installed Wine's source was not asked for: $(cat "$dir/calls.txt")"
[ "$(cat "$dir/dest/src/dlls/kernel32/tests/path.c" 2>&1)" = "/* kernel32/tests/path.c */" ] ||
    fail "fetch-recovers: path.c was not unpacked"
run_fetch fetch-gives-up 99 0
dir=$work/fetch-gives-up
[ "$(cat "$dir/rc")" = 1 ] || fail "fetch-gives-up: ended with $(cat "$dir/rc"), not 1"
grep -qxF "fetch-wine-tests: apt-get update of the source lists failed 3 times: $fetch_error" "$dir/err" ||
    fail "fetch-gives-up: no message naming the index: $(cat "$dir/err")"
[ -e "$dir/dest/complete" ] && fail "fetch-gives-up: the fetch was marked complete"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "setup: retries and the failed install's message as expected, as root and with sudo"
