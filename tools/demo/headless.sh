#!/usr/bin/env bash
# Runs ordovant on a virtual display, saves a screenshot of its window to BUILD_DIR/demo.png and closes it.
# Usage (inside xvfb-run): tools/demo/headless.sh BUILD_DIR [ordovant arguments...]
set -uo pipefail
build_dir="$1"
shift
picture="$build_dir/demo.png"
rm -f "$picture"

"$build_dir/app/ordovant" "$@" &
pid=$!

# The first start on a busy machine can take a while; wait up to 30 s for the window.
window=""
for _ in $(seq 1 300); do
    window="$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)"
    [ -n "$window" ] || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.1
done

if [ -z "$window" ]; then
    wait "$pid"
    echo "ordovant ended without a window: nothing to do at this branch (see $ORDOVANT_HOME/ordovant.log)."
    exit 0
fi

sleep 0.5
"$build_dir/tools/ordovant-screenshot" "$picture"
# Esc answers "Nein" in the notice and "Zurück" in the options dialog.
# Without a window manager the window is focused directly.
xdotool windowfocus --sync "$window" key Escape 2>/dev/null || true
for _ in $(seq 1 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
# The options dialog stays open while tasks are left: end it.
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
echo "Screenshot of the window: $picture"
[ -f "$ORDOVANT_HOME/torvelin.log" ] && echo "Branch program starts so far: $ORDOVANT_HOME/torvelin.log"
exit 0
