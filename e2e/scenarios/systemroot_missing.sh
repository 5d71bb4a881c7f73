# Without a usable "SystemRoot" the program ends at once, silently: no
# dialog, no change, only the empty log that the controller created.
# Wine gives every new process a "SystemRoot" when it has none, so the
# variable is handed over empty, which the program treats the same way.
steps() {
    install_product
    snapshot before.txt
    uninstall run OK -s SystemRoot=
    snapshot after.txt
}

checks() {
    expect_boxes run <<<"exit: 0"
    expect_no_stage run
    expect_text "the machine after the run" "$OUT/after.txt" <"$OUT/before.txt"
    expect_log_bytes run </dev/null
}
