#!/usr/bin/env bash
# Installs what is needed, builds, starts a Firebird server on loopback for the remote-mode
# tests and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
bash scripts/firebird-server.sh start
trap 'bash scripts/firebird-server.sh stop' EXIT
export PROTOCOLO_TEST_SERVER=127.0.0.1/3050
ctest --test-dir build --output-on-failure -j2
