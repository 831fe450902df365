#!/bin/bash
# SPDX-License-Identifier: MIT
# Runs a command as a desktop session with a screen reader would: in a private D-Bus session
# whose accessibility bus is already up (a desktop starts it at login; Qt connects to it only
# when it is there), with Qt's bridge to it on whether or not a screen reader has said so.
# Usage (under xvfb-run): a11y-session.sh COMMAND [ARGUMENT...]
set -euo pipefail
if [ -z "${KELMO_A11Y_SESSION:-}" ]; then
  for tool in dbus-run-session dbus-send; do
    command -v "$tool" > /dev/null || { echo "SKIPPED: $tool is missing"; exit 0; }
  done
  export KELMO_A11Y_SESSION=1
  exec dbus-run-session -- "$0" "$@" 2> >(grep -v "Failed to set fd limit" >&2)
fi
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  > /dev/null 2>&1 || { echo "SKIPPED: no accessibility bus (at-spi2-core)"; exit 0; }
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
exec "$@"
