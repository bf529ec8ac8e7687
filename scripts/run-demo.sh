#!/usr/bin/env bash
# Installs what is needed, builds, creates a demonstration database in ./demo (once) and
# starts the client there in local mode (embedded engine, no server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
mkdir -p demo
# The demonstration password is the one the README gives; it goes through standard input rather
# than the command line, where every user of the machine could read it in the process list.
if [ ! -f demo/KORVALIS_PROTOCOLO.fdb ]; then
  printf 'admin\n' | build/db/protocolo-initdb --demo --admin-password-stdin demo/KORVALIS_PROTOCOLO.fdb
fi
cd demo
exec ../build/app/protocolo
