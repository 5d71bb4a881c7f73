# On 64-bit Windows (WoW64): the product as its 32-bit installer leaves it,
# in the 32-bit registry view (HKLM\SOFTWARE under Wow6432Node, the class
# registrations with it) and the 32-bit system directory (syswow64, which
# a 32-bit program names system32). Keys and files of the same names in
# the 64-bit view and the 64-bit system directory are sentinels: the
# 32-bit uninstaller, the cleanup helper and the restart that ends the
# helper's work must leave every one of them as it was. (The machine's Run
# key is under SOFTWARE too, so the 64-bit one has sentinel values of the
# two names the uninstaller deletes and writes.)
#
# The helper is started by the next log-on as Windows performs it: the
# 64-bit shell starts the 64-bit view's Run values, and a 32-bit process
# (runonce /Run6432) those of the 32-bit view, where the uninstaller wrote
# "QvCleanup" naming system32\QvCleanup.exe. That must be the 32-bit
# helper, not the sentinel of that name in the 64-bit system directory. A
# control value of the 64-bit view names a file that is only in the 32-bit
# system directory: the 64-bit shell must not find it, which shows that
# the two halves really resolve "system32" differently.
NATIVE_SYSDIR='C:\windows\sysnative'
UNINSTALL_64='64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\QELVORA Wattrix2'
FOOTPRINT_64=(
    '64:HKLM\SOFTWARE\QELVORA'
    '64:HKLM\SOFTWARE\Classes\CLSID\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}'
    "$UNINSTALL_64"
    '64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Controls Folder\Power\shellex\PropertySheetHandlers\CPL Extension Sample'
    '64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Controls Folder\PowerCfg|DiskSpinDownMin'
    '64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run|Qwtray'
    '64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run|QvCleanup'
    "dir:$NATIVE_SYSDIR"
)

steps() {
    install_product --sentinels-64 --logon-control
    step snapshot "${P}views64_before.txt" "${FOOTPRINT_64[@]}"
    uninstall run OK,No
    snapshot after.txt
    logon logon
    run_program restart none "$SYSDIR\\wineboot.exe" -r
    step snapshot "${P}views64_after.txt" "${FOOTPRINT_64[@]}"
    # The maker's 64-bit tree once more, as a 64-bit program reads it.
    run_program reg64 none -o "${P}reg64.out" "$NATIVE_SYSDIR\\reg.exe" query 'HKLM\SOFTWARE\QELVORA' /s
}

# The 64-bit snapshot's registry part and the product's names in its
# listing of the 64-bit system directory, with their sizes.
views64_of() {
    awk -v dir="<$NATIVE_SYSDIR>" '/^</ { inside = ($0 == dir); listed = 1; if (inside) print; next }
         !listed || (inside && /^(QW|Qv)/) { print }' "$OUT/$1"
}

checks() {
    expect_removed_without_restart run
    expect_progress run en
    expect_log_bytes run </dev/null
    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the 32-bit view after the removal" after.txt
    # The control file sorts in after the helper's.
    expect_files "the 32-bit system directory after the removal" after.txt \
        <<<"$(sed '1a QvOnly32.exe' <<<"$RETIRED_FILES")"
    expect_boxes logon <<<"exit: 0"
    # The 64-bit view's values in the key's order, which is by name here.
    # None is found: neither the sentinels, which name no file, nor the
    # control, which is only in the 32-bit system directory.
    logon_record "$(cat <<EOF2
"QvCleanup" "64-bit sentinel": not started, error 2
"QvOnly32" "$SYSDIR\\QvOnly32.exe": not started, error 2
"Qwtray" "64-bit sentinel": not started, error 2
EOF2
)" | expect_text "what the log-on started" "$OUT/logon.out"
    expect_boxes restart <<<"exit: 0"

    local sentinel
    sentinel=$(sz x "64-bit sentinel" | sed 's/^"x" //')
    views64_of views64_before.txt >"$OUT/views64.before"
    expect_text "the 64-bit sentinels as planted" "$OUT/views64.before" <<EOF2
[64:HKLM\\SOFTWARE\\QELVORA]
[64:HKLM\\SOFTWARE\\QELVORA\\Cleanup]
"RefNum" $sentinel
[64:HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
"File1" $sentinel
[64:HKLM\\SOFTWARE\\QELVORA\\Power Management]
"Version" $sentinel
[64:HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles]
[64:HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC]
"Standby" $sentinel
[64:HKLM\\SOFTWARE\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}]
@ $sentinel
[$UNINSTALL_64]
$(sz DisplayName "QELVORA Wattrix2 64-bit sentinel")
[64:HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\PropertySheetHandlers\\CPL Extension Sample]
@ $sentinel
[64:HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg]
"DiskSpinDownMin" $sentinel
[64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"Qwtray" $sentinel
[64:HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"QvCleanup" $sentinel
<$NATIVE_SYSDIR>
QvCleanup.exe 31
QWADAPT.DLL 29
QWCLKICON.EXE 31
QWDEVWATCH.EXE 32
QWFNKEY.EXE 29
QWICON.EXE 28
QWREG.DLL 27
QWSAVER.CPL 29
QWSAVER.FTS 29
QWSAVER.GID 29
QWSAVER.HLP 29
QWTAB.DLL 27
QWTRAY.EXE 28
QWUNINST.EXE 30
EOF2
    # Wine's reg.exe leaves out the top key, which has no values.
    tr -d '\r' <"$OUT/reg64.out" >"$OUT/reg64.text"
    expect_text "the maker's 64-bit tree as a 64-bit program reads it after the removal" "$OUT/reg64.text" <<EOF2

HKEY_LOCAL_MACHINE\\SOFTWARE\\QELVORA\\Cleanup
    RefNum    REG_SZ    64-bit sentinel

HKEY_LOCAL_MACHINE\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles
    File1    REG_SZ    64-bit sentinel

HKEY_LOCAL_MACHINE\\SOFTWARE\\QELVORA\\Power Management
    Version    REG_SZ    64-bit sentinel

HKEY_LOCAL_MACHINE\\SOFTWARE\\QELVORA\\Power Management\\Profiles

HKEY_LOCAL_MACHINE\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC
    Standby    REG_SZ    64-bit sentinel

EOF2
    expect_boxes reg64 <<<"exit: 0"
    views64_of views64_after.txt >"$OUT/views64.after"
    expect_text "the 64-bit sentinels after the removal, the helper and the restart" "$OUT/views64.after" \
        <"$OUT/views64.before"
}
