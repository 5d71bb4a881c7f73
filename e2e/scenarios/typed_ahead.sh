# Enter pressed on the keyboard while the first stage waits: the key waits
# in the program's queue, and no box may take it as its default button.
# The restart question waits for the driver's No, and after a failure the
# box that names the log waits for its OK.
steps() {
    install_product
    uninstall run OK,No -k 'please wait...'
    install_product
    hold gid "$SYSDIR\\QWSAVER.GID"
    uninstall failing OK,OK -k 'please wait...'
    stop gid
}

checks() {
    expect_boxes run <<EOF2
$BOX_CONFIRM
answer: OK
typed: Enter
$BOX_RESTART
answer: No
exit: 0
EOF2
    expect_boxes failing <<EOF2
$BOX_CONFIRM
answer: OK
typed: Enter
$(box_error)
answer: OK
exit: 0
EOF2
}
