# A copy started while another one runs ends without a word and without
# writing anything: the other copy's controller window is enough.
steps() {
    install_product
    snapshot before.txt
    companion other_copy "$TITLE" "$TITLE" ignore
    uninstall second_copy OK
    stop other_copy
    snapshot after.txt
}

checks() {
    expect_boxes second_copy <<<"exit: 0"
    expect_no_stage second_copy
    expect_no_log second_copy
    expect_text "the other copy's record" "$OUT/other_copy.log" <<<"ready"
    expect_text "the machine after the silent end" "$OUT/after.txt" <"$OUT/before.txt"
}
