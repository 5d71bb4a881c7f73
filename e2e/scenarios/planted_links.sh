# Links planted where the elevated program writes: the user's temporary
# directory (TMP and TEMP are the user's to set) with a link at the log's
# name, and a "SystemRoot" naming a folder of the user's. Each removal
# runs with its own temporary directory. The links are made from the Unix
# side before the driver starts: Wine 8's CreateSymbolicLink makes a plain
# file, and it follows a Unix symbolic link on every open, even one asked
# not to follow it, as a symbolic link Windows follows would be.
#
# The temporary directory may itself be a folder link (a Unix directory
# link stands in for a junction) into a folder of the machine's, where the
# log's name is one of a file's two names: both names stay as they were.
#
# Controls, before the removals: a copy through each link gives its
# target's content, a file created through a dangling link appears where
# that link points, and a program started as the removal is sees the
# user's "SystemRoot".

LINKS=C:\\qwlinks

links_plant() {
    local root=$CDRIVE/qwlinks
    rm -rf "$root"
    mkdir -p "$root/machine" "$root/hard" "$root/symbolic" "$root/dangling" "$root/control"
    printf 'the machine'"'"'s hard-linked file\r\n' >"$root/machine/hard.dat"
    printf 'the machine'"'"'s file\r\n' >"$root/machine/symbolic.dat"
    ln "$root/machine/hard.dat" "$root/hard/QWUNLOG.LOG"
    ln -s "$root/machine/symbolic.dat" "$root/symbolic/QWUNLOG.LOG"
    ln -s "$root/machine/made.dat" "$root/dangling/QWUNLOG.LOG"
    ln -s "$root/machine/control.dat" "$root/control/QWUNLOG.LOG"
    printf 'the machine'"'"'s file of two names\r\n' >"$root/machine/QWUNLOG.LOG"
    ln "$root/machine/QWUNLOG.LOG" "$root/machine/second.dat"
    ln -s "$root/machine" "$root/folder"
    cp -a "$root/machine" "$OUT/machine.before"

    # A "SystemRoot" of the user's, with the product's files in its system32.
    mkdir -p "$root/userroot/system32"
    for file in QWTRAY.EXE QWFNKEY.EXE QWSAVER.CPL QvCleanup.exe; do
        printf 'the user'"'"'s %s\r\n' "$file" >"$root/userroot/system32/$file"
    done
    cp -a "$root/userroot" "$OUT/userroot.before"
}

# A removal with the temporary directory DIR; the log's name is kept
# afterwards as NAME.LOG.
links_uninstall() {
    local name=$1 dir=$2
    run_program "$name" OK,No -s "TMP=$LINKS\\$dir" -s "TEMP=$LINKS\\$dir" "$UNINSTALLER"
    step keep "$LINKS\\$dir\\QWUNLOG.LOG" "$P$name.LOG"
}

# A run started from outside, as a log-on starts a program: a shell on the
# Unix side starts it through Wine's launcher, with no "SystemRoot" of its
# own, and then writes the exit code into NAME.exit and the output into
# NAME.out. Wine gives every process that a Windows process starts its
# own "SystemRoot"; one started from outside takes the user's from
# HKCU\Environment, as on Windows.
from_outside() {
    local name=$1
    shift
    run_program "$name" OK -m "$P$name.exit" "$(winpath /bin/sh)" -c \
        'env -u SystemRoot wine $* >$0.out 2>/dev/null; echo $? >$0.exit' "$OUT/$name" "$@"
}

steps() {
    links_plant
    install_product
    step keep "$LINKS\\hard\\QWUNLOG.LOG" "${P}control_hard.dat"
    step keep "$LINKS\\symbolic\\QWUNLOG.LOG" "${P}control_symbolic.dat"
    step keep "$LINKS\\folder\\second.dat" "${P}control_folder.dat"
    from_outside control_dangling cmd.exe /c copy "$UNINSTALLER" "$LINKS\\control\\QWUNLOG.LOG"
    links_uninstall hard hard
    install_product
    links_uninstall symbolic symbolic
    install_product
    links_uninstall dangling dangling
    install_product
    links_uninstall folder folder
    install_product
    snapshot system_root_before.txt
    step remove "$LOG"
    step userenv SystemRoot "$LINKS\\userroot"
    from_outside control_system_root "$(winpath "$QW_E2E_BIN/qwshowenv.exe")" SystemRoot
    from_outside system_root "$UNINSTALLER"
    step userenv SystemRoot
    step keep "$LOG" "${P}system_root.LOG"
    snapshot system_root_after.txt
}

checks() {
    local root=$CDRIVE/qwlinks
    # The controls: the links lead where they were made to.
    cmp -s "$OUT/control_hard.dat" "$OUT/machine.before/hard.dat" ||
        fail "the hard link's control did not read its target"
    cmp -s "$OUT/control_symbolic.dat" "$OUT/machine.before/symbolic.dat" ||
        fail "the symbolic link's control did not read its target"
    cmp -s "$OUT/control_hard.dat" "$OUT/machine.before/hard.dat" ||
        fail "the hard link's control did not read its target"
    cmp -s "$OUT/control_symbolic.dat" "$OUT/machine.before/symbolic.dat" ||
        fail "the symbolic link's control did not read its target"
    [ -f "$root/machine/control.dat" ] || fail "the dangling link's control made nothing where it points"
    cmp -s "$OUT/control_folder.dat" "$OUT/machine.before/QWUNLOG.LOG" ||
        fail "the folder link's control did not read the folder behind it"
    grep -qx 'SystemRoot=C:\\qwlinks\\userroot.\?' "$OUT/control_system_root.out" ||
        fail "the user's SystemRoot did not reach a program started like the removal"

    for name in hard symbolic dangling folder; do
        expect_removed_without_restart "$name"
        expect_progress "$name"
    done
    # The hard link's name was taken back and a plain log made there; the
    # other two stay links, and the log was unavailable (nothing failed,
    # so nothing was to be written anyway).
    expect_log_bytes hard </dev/null
    [ "$(stat -c %h "$root/hard/QWUNLOG.LOG")" = 1 ] || fail "hard: the log still shares its file"
    [ -L "$root/symbolic/QWUNLOG.LOG" ] || fail "symbolic: the link at the log's name is gone"
    [ -L "$root/dangling/QWUNLOG.LOG" ] || fail "dangling: the link at the log's name is gone"
    [ "$(stat -c %i "$root/machine/QWUNLOG.LOG")" = "$(stat -c %i "$root/machine/second.dat")" ] ||
        fail "folder: the machine's file lost one of its two names"
    rm -f "$root/machine/control.dat"
    if ! diff -r "$OUT/machine.before" "$root/machine" >"$OUT/diff.machine"; then
        fail "the files behind the links changed:"
        cat "$OUT/diff.machine" >&2
    fi

    # A "SystemRoot" of the user's: a silent end, nothing changed, the
    # empty log left.
    expect_text "the exit code of the run with the user's SystemRoot" "$OUT/system_root.exit" <<<0
    [ ! -s "$OUT/system_root.txt" ] || fail "system_root: the run showed something: $(cat "$OUT/system_root.txt")"
    expect_log_bytes system_root </dev/null
    expect_text "the machine after the user's SystemRoot" "$OUT/system_root_after.txt" <"$OUT/system_root_before.txt"
    if ! diff -r "$OUT/userroot.before" "$root/userroot" >"$OUT/diff.userroot"; then
        fail "the user's SystemRoot folder changed:"
        cat "$OUT/diff.userroot" >&2
    fi
}
