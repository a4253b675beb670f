#!/bin/sh
# Stands in for osascript: answers the script in "$2" from files the test wrote into
# $FAKE_OSASCRIPT_DIR, chosen by the application the script addresses (the System Events
# process for the Firefox kind) and by whether it asks for a tab or for page text:
#   "<app>.<tab|text>"        printed as it is (any bytes)
#   "<app>.<tab|text>.delay"  seconds to wait before printing
#   "<app>.<tab|text>.hang"   never answer
# Every call is appended to calls.log as "<app> <tab|text>".
script=$2
app=$(printf '%s\n' "$script" | sed -n 's/.*exists process "\([^"]*\)".*/\1/p' | head -n 1)
[ -n "$app" ] || app=$(printf '%s\n' "$script" | sed -n 's/.*tell application "\([^"]*\)".*/\1/p' | head -n 1)
case $script in
*avaScript*|*javascript*) what=text ;;
*) what=tab ;;
esac
fixture=$FAKE_OSASCRIPT_DIR/$app.$what
echo "$app $what" >> "$FAKE_OSASCRIPT_DIR/calls.log"
[ -e "$fixture.hang" ] && exec sleep 60
[ -e "$fixture.delay" ] && sleep "$(cat "$fixture.delay")"
[ -e "$fixture" ] && cat "$fixture"
exit 0
