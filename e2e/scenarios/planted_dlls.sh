# Planted DLLs: a user downloads QWUNINST.EXE and starts it from the
# download folder, which any program of that user can write to, with
# that folder as the current directory. Beside it lie canary DLLs under
# the names of the DLLs that the program or the system's DLLs load while
# it runs. The program runs elevated, so a DLL taken from there would run
# with the administrator's rights. The removal must go through as usual
# and no canary may leave a marker. The two start-up refusals, the open
# property sheet and the account that is no administrator's, run the same
# way, each from a folder of its own: their boxes come before anything
# else the program does, and they too may load no canary.
#
# Wine is told, for this program, to prefer native DLLs of the canaries'
# names, as Windows does for DLLs that are not its known DLLs. A control
# program that imports netapi32 at load time runs from a folder of the
# same canaries under the same settings and must pick up its canary:
# else this scenario could not see a planted DLL being loaded at all.
#
# The names come from Wine's loader trace (WINEDEBUG=+loaddll) of a
# removal, and from what Windows is known to load on demand for such a
# program. Every run is traced again, and a DLL loaded under a name that
# is in neither list below fails the scenario, so the lists stay whole.

# Seen in the loader trace of a removal under Wine 8, besides the names
# left out below.
TRACED_CANARIES='comctl32 netapi32 uxtheme'
# Loaded on demand by Windows' own DLLs for a program like this one: the
# account queries' helpers, the common controls and themes, security,
# profiles, shell and text controls.
ON_DEMAND_CANARIES='netapi32 netutils srvcli wkscli samcli logoncli comctl32 uxtheme dwmapi cryptbase
    userenv profapi propsys apphelp oleacc clbcatq ntmarta sspicli secur32 shfolder riched20'
# No canary, and why. All of these are DLLs that Windows takes from the
# system directory only, as known DLLs or as what its known DLLs import;
# Wine, told to prefer native DLLs of their names, takes them from the
# program's folder even for a program that does all it can, because its
# own DLLs load them where the program has no say:
# - the system's core and the program's own imports, which Wine does not
#   replace at all: ntdll, kernelbase, kernel32, user32, advapi32, shell32;
# - what Wine's DLLs of those import when they load (with a name set to
#   native, Wine takes such an import from the program's folder): under
#   Wine 8 gdi32, msvcrt, ucrtbase, sechost, version, win32u, shlwapi and
#   shcore, and zlib1, which Windows does not have;
# - imm32, which Wine's user32 loads while the process starts, before the
#   program's first line;
# - ole32, which Wine's imm32 loads as a delayed import while the
#   program shows its dialog; Wine looks for a delayed import in the
#   program's folder even after the program has limited the search to
#   the system directory. And combase and rpcrt4, which ole32 imports.
# Given a canary under Wine 8, each name of the last three groups fired
# for this program, which limits its search as far as it can.
LEFT_OUT='ntdll kernelbase kernel32 user32 advapi32 shell32 gdi32 msvcrt ucrtbase sechost version win32u
    shlwapi shcore zlib1 imm32 ole32 combase rpcrt4'
CANARIES=$(printf '%s\n' $TRACED_CANARIES $ON_DEMAND_CANARIES | sort -u)
CONTROL=qwnetuser.exe

# The user's download folder as Unix and as Windows path.
downloads_path() {
    local user
    user=$(cd "$CDRIVE/users" && for d in *; do [ "$d" != Public ] && [ -d "$d" ] && echo "$d" && break; done)
    DOWNLOADS=$CDRIVE/users/$user/Downloads
    DOWNLOADS_WIN="C:\\users\\$user\\Downloads"
}

# A new Wine prefix links the download folder to the Unix user's home,
# which the canaries must not reach: here it becomes a folder of the
# prefix's own, emptied.
downloads_prepare() {
    downloads_path
    [ -L "$DOWNLOADS" ] && rm "$DOWNLOADS"
    rm -rf "$DOWNLOADS"
    mkdir -p "$DOWNLOADS/control" "$DOWNLOADS/sheet_open" "$DOWNLOADS/not_admin"
}

# The canaries in FOLDER, one copy of canary.dll per name.
plant() {
    local folder=$1 name
    for name in $CANARIES; do
        cp "$QW_E2E_BIN/canary.dll" "$folder/$name.dll"
    done
}

# The overrides for one program image: the canaries' names native first.
# The uninstaller's netapi32 is set to native by the install step already
# (the account-query stand-in).
overrides_of() {
    local image=$1 name
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\DllOverrides]\n' "$image"
    for name in $CANARIES; do
        [ "$image" = QWUNINST.EXE ] && [ "$name" = netapi32 ] && continue
        printf '"%s"="native,builtin"\n' "$name"
    done
}

# A refused run of the uninstaller in the folder NAME of the download
# folder, started there as Explorer starts it, by an account that is no
# administrator's; further arguments are environment changes.
refuse_from() {
    local name=$1
    shift
    run_program "$name" OK -s QW_NET_PRIV=1 "$@" -w QWUNINST.EXE \
        "$SYSDIR\\start.exe" /wait /d "$DOWNLOADS_WIN\\$name" "$DOWNLOADS_WIN\\$name\\QWUNINST.EXE"
}

steps() {
    downloads_prepare
    cp "$QW_PRODUCT" "$DOWNLOADS/QWUNINST.EXE"
    cp "$QW_PRODUCT" "$DOWNLOADS/sheet_open/QWUNINST.EXE"
    cp "$QW_PRODUCT" "$DOWNLOADS/not_admin/QWUNINST.EXE"
    cp "$QW_E2E_BIN/$CONTROL" "$DOWNLOADS/control/$CONTROL"
    plant "$DOWNLOADS"
    plant "$DOWNLOADS/control"
    plant "$DOWNLOADS/sheet_open"
    plant "$DOWNLOADS/not_admin"
    { printf 'REGEDIT4\n\n'; overrides_of QWUNINST.EXE; echo; overrides_of "$CONTROL"; } >"$OUT/overrides.reg"
    {
        printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\QWUNINST.EXE\\DllOverrides]\n'
        overrides_of QWUNINST.EXE | sed -n 's/^\("[^"]*"\)=.*/\1=-/p'
        printf '\n[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s]\n' "$CONTROL"
    } >"$OUT/overrides_off.reg"

    install_product
    run_program overrides none -o "${P}overrides.out" "$SYSDIR\\reg.exe" import "$(winpath "$OUT/overrides.reg")"
    companion sheet "#32770" "Power Save Properties" ignore
    refuse_from sheet_open
    stop sheet
    refuse_from not_admin -s "QW_NET_LOG=$(winpath "$OUT")\\net.not_admin.log"
    step remove "$LOG"
    # Started as Explorer starts a program: by the shell, in its folder.
    # The loader's trace goes to the driver's output.
    run_program run OK,No -s WINEDEBUG=+pid,+loaddll -w QWUNINST.EXE \
        "$SYSDIR\\start.exe" /wait /d "$DOWNLOADS_WIN" "$DOWNLOADS_WIN\\QWUNINST.EXE"
    step keep "$LOG" "${P}run.LOG"
    snapshot after.txt
    run_program control none -w "$CONTROL" \
        "$SYSDIR\\start.exe" /wait /d "$DOWNLOADS_WIN\\control" "$DOWNLOADS_WIN\\control\\$CONTROL"
    run_program overrides_off none -o "${P}overrides_off.out" "$SYSDIR\\reg.exe" import \
        "$(winpath "$OUT/overrides_off.reg")"
    # Wine's own netapi32.dll back in the system directory.
    step install --clean
}

# The markers in FOLDER, as "NAME.dll: IMAGE" lines.
markers_in() {
    local marker
    for marker in "$1"/*.loaded; do
        [ -e "$marker" ] || continue
        tr -d '\r' <"$marker" | sed "s|^|$(basename "$marker" .loaded): |"
    done
}

# The DLLs that the process of IMAGE loaded, by the loader's trace in the
# driver's output ("PID:TID:trace:loaddll:... Loaded L"PATH" ..."):
# lower-case names without ".dll", one a line.
loaded_by() {
    local image=$1 pid
    pid=$(grep -i "trace:loaddll:.*Loaded L\".*\\\\$image\"" "$DRIVER_OUT" | head -n 1 | cut -d: -f1)
    [ -n "$pid" ] || return 1
    grep "^$pid:.*trace:loaddll:.*Loaded L\"" "$DRIVER_OUT" |
        sed 's/.*Loaded L"\([^"]*\)".*/\1/; s/.*\\//' | tr 'A-Z' 'a-z' | grep '\.dll$' | sed 's/\.dll$//' | sort -u
}

checks() {
    downloads_path
    expect_boxes overrides <<<"exit: 0"
    expect_boxes overrides_off <<<"exit: 0"
    expect_started_removal_without_restart run
    expect_progress run en
    expect_log_bytes run </dev/null
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"

    markers_in "$DOWNLOADS" >"$OUT/markers"
    if [ -s "$OUT/markers" ]; then
        fail "canaries were loaded from the download folder:"
        sed 's/^/    /' "$OUT/markers" >&2
    fi

    local user
    user=$(log_windows | cut -d'\' -f3)
    expect_boxes sheet_open <<EOF2
started: QWUNINST.EXE
box: Close Power Save Propeties then try again.
owner: #32770 "Power Save Properties"
buttons: OK
answer: OK
exit: QWUNINST.EXE 0
exit: 0
EOF2
    expect_boxes not_admin <<EOF2
started: QWUNINST.EXE
box: In order to uninstall QELVORA Wattrix2, you must have administrative privileges. Please log off and log back on as an administrator.\\n
owner: none
buttons: OK
answer: OK
exit: QWUNINST.EXE 0
exit: 0
EOF2
    expect_text "the account queries of not_admin" "$OUT/net.not_admin.log" <<EOF2
NetUserGetInfo server=(local) user=$user level=1
NetGetDCName
NetUserGetInfo server=(local) user=$user level=1
EOF2
    local refusal
    for refusal in sheet_open not_admin; do
        markers_in "$DOWNLOADS/$refusal" >"$OUT/$refusal.markers"
        if [ -s "$OUT/$refusal.markers" ]; then
            fail "$refusal: canaries were loaded from the refusal's folder:"
            sed 's/^/    /' "$OUT/$refusal.markers" >&2
        fi
    done

    expect_boxes control <<EOF2
started: $CONTROL
exit: $CONTROL 0
exit: 0
EOF2
    markers_in "$DOWNLOADS/control" >"$OUT/control.markers"
    grep -qi "^netapi32\.dll: .*\\\\$CONTROL\$" "$OUT/control.markers" ||
        fail "the control program did not pick up the netapi32 canary, so no canary could be seen"

    # Every DLL the uninstaller loaded has a canary or a reason to have none.
    local known name
    known=$(printf '%s\n' $CANARIES $LEFT_OUT)
    if ! loaded_by QWUNINST.EXE >"$OUT/run.loaded"; then
        fail "the loader trace has no load of QWUNINST.EXE"
    fi
    while read -r name; do
        grep -qx "$name" <<<"$known" ||
            fail "QWUNINST.EXE loaded $name.dll, which has no canary and no reason to have none"
    done <"$OUT/run.loaded"
}
