#!/usr/bin/env bash
# Sets the machine up, builds orrery and starts it on its head cartridge.
# Arguments are passed on to the console (for example -windowed 1).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -G Ninja >/dev/null
cmake --build "$here/build" --target orrery
exec "$here/build/orrery" "$@"
