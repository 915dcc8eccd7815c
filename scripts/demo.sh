#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job.
set -euo pipefail
caller="$PWD"
cd "$(dirname "$0")/.."
root="$PWD"
bash scripts/setup.sh
bash scripts/build.sh release ptrace
# Without arguments the main job is the demo; with them, any ptrace command.
if [ $# -eq 0 ]; then set -- demo; fi
# The demo writes ptrace-demo/ where the user stands, not in the repository.
cd "$caller"
"$root/build/apps/ptrace/ptrace" "$@"
