#!/usr/bin/env bash
# Starts (start) or stops (stop) a Firebird 3 server on loopback port 3050 whose SYSDBA
# password is the one the client uses. Used by the test command for the remote-mode tests.
set -euo pipefail
PASSWORD=quillwort
SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
PORT=3050

listening() { (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null; }

stop_server() {
  pkill -x fbguard 2>/dev/null || true
  pkill -x firebird 2>/dev/null || true
  for _ in $(seq 1 50); do listening || return 0; sleep 0.1; done
}

case "${1:-start}" in
  start)
    # A server left by the package or an earlier run may know another password: restart ours.
    stop_server
    # With the server down, the security database is set through the embedded engine.
    printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" "$PASSWORD" \
      | isql-fb -q -user SYSDBA "$SECURITY_DB" >/dev/null
    /usr/sbin/fbguard -daemon -forever
    for _ in $(seq 1 100); do
      if listening; then echo "Firebird server on 127.0.0.1:$PORT"; exit 0; fi
      sleep 0.1
    done
    echo "Firebird server did not start" >&2
    exit 1
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
