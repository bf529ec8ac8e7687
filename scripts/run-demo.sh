#!/usr/bin/env bash
# Installs what is needed, builds, creates a demonstration database in ./demo (once) with the
# sample unit-type sheet in ./demo/A, and starts the client there in local mode (embedded
# engine, no server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the client and the creation tool: the tests and benchmarks are built by the test command.
cmake --build build --target protocolo protocolo-initdb
mkdir -p demo
# The demonstration password is the one the README gives; it goes through standard input rather
# than the command line, where every user of the machine could read it in the process list.
if [ ! -f demo/KORVALIS_PROTOCOLO.fdb ]; then
  printf 'admin
' | build/db/protocolo-initdb --demo --admin-password-stdin demo/KORVALIS_PROTOCOLO.fdb
fi
# The audit court's unit-type sheet read by "Apoio" > "Recebe dados - TCE/AL" > "Tipos de Unidades".
mkdir -p demo/A
[ -f demo/A/IDUnidades.xls ] || cp exchange/sample/IDUnidades.xls demo/A/IDUnidades.xls
cd demo
exec ../build/app/protocolo
