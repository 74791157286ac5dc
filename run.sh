#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo branch in build/demo-host/ and runs ordovant on it.
# Arguments are passed on: ./run.sh -O (options), ./run.sh -A (expired reservations), ./run.sh -E ...
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="$root/build"

"$root/scripts/setup.sh" "$build_dir"
"$root/tools/demo/host.sh" "$build_dir"
export ORDOVANT_HOME="$build_dir/demo-host"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$build_dir/app/ordovant" "$@"
fi
xvfb-run -a -s "-screen 0 1280x800x24" "$root/tools/demo/headless.sh" "$build_dir" "$@"
