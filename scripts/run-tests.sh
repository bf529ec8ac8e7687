#!/usr/bin/env bash
# Installs what is needed, builds, starts a private Firebird server (its own folder, port and
# security database under build/, bound to 127.0.0.1) for the remote-mode tests, runs the whole
# test suite and stops that server again, whatever the outcome. No other Firebird server on the
# machine is stopped or reconfigured.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
SERVER_ROOT="$PWD/build/fbtest"
# Set before the start so a start that fails half-way is cleaned up too.
trap 'bash scripts/firebird-server.sh stop "$SERVER_ROOT"' EXIT
PORT=$(bash scripts/firebird-server.sh start "$SERVER_ROOT")
echo "Private Firebird server on 127.0.0.1:$PORT (folder $SERVER_ROOT)"
export PROTOCOLO_TEST_SERVER="127.0.0.1/$PORT"
ctest --test-dir build --output-on-failure -j2
