#!/bin/sh
# A stand-in for zenity and kdialog in tests: link it into a folder on PATH under either name. It appends
# its name and then each argument on a line of its own to $FAKE_DIALOG_LOG, prints the answer of its name
# ($FAKE_ZENITY_ANSWER or $FAKE_KDIALOG_ANSWER) with a line end, and exits with $FAKE_ZENITY_STATUS or
# $FAKE_KDIALOG_STATUS (0 when unset).
name=${0##*/}
if [ -n "$FAKE_DIALOG_LOG" ]; then
    {
        printf '[%s]\n' "$name"
        for a in "$@"; do printf '%s\n' "$a"; done
    } >>"$FAKE_DIALOG_LOG"
fi
case "$name" in
zenity) answer=$FAKE_ZENITY_ANSWER status=${FAKE_ZENITY_STATUS:-0} ;;
*) answer=$FAKE_KDIALOG_ANSWER status=${FAKE_KDIALOG_STATUS:-0} ;;
esac
[ -n "$answer" ] && printf '%s\n' "$answer"
exit "$status"
