# The first stage with companion programs running: the function-key
# program found by its title alone, programs that close at once or after
# a while, one that ignores WM_CLOSE, and a window that only shares the
# tray program's title, which is never asked to close but is waited for.
steps() {
    install_product
    companion fnkey QWOTHERCLASS QWFnkey 300
    companion icon QWICON QwIcon 0
    companion clkicon QWCLKICON QwClkIcon ignore
    companion devwatch QWDEVWATCH Qwdevwatch 2500
    companion impostor QWNOTTRAY QwTray ignore
    uninstall run OK,No
    stop clkicon
    stop impostor
    snapshot after.txt
}

checks() {
    expect_removed_without_restart run
    expect_progress run en
    printf 'ready\nWM_CLOSE\nclosed\n' >"$OUT/closed.expected"
    expect_text "the function-key program's record" "$OUT/fnkey.log" <"$OUT/closed.expected"
    expect_text "the power-icon program's record" "$OUT/icon.log" <"$OUT/closed.expected"
    expect_text "the device-detection program's record" "$OUT/devwatch.log" <"$OUT/closed.expected"
    expect_text "the speed-icon program's record" "$OUT/clkicon.log" < <(printf 'ready\nWM_CLOSE\n')
    expect_text "the other window's record" "$OUT/impostor.log" <<<"ready"

    # One second each for the function-key and power-icon programs, three
    # for the device-detection program, five each for the speed-icon
    # program and the window with the tray's title: 15 s at least.
    local seconds
    seconds=$(RUN_STEP="run ${P}run " awk -F '[][s]+' '
        index($0, ENVIRON["RUN_STEP"]) { start = $2 + 0; next }
        start != "" && /^\[ *[0-9.]+s\]/ { print int($2 - start); exit }' "$DRIVER_OUT")
    if [ -z "$seconds" ] || [ "$seconds" -lt 15 ]; then
        fail "the run took ${seconds:-?} s, less than the 15 s that the waits take"
    fi

    removed_footprint "$(full_queue 0)" "$RUN_WITH_HELPER" |
        expect_registry "the registry after the removal" after.txt
    expect_files "the product's files after the removal" after.txt <<<"$RETIRED_FILES"
    expect_log_bytes run </dev/null
}
