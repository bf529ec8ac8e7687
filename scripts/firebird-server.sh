#!/usr/bin/env bash
# A private Firebird 3 server for the remote-mode tests.
#
#   firebird-server.sh start ROOT [PORT]   prints the port it listens on (127.0.0.1 only)
#   firebird-server.sh stop ROOT
#
# ROOT is a folder of its own (e.g. build/fbtest): the server's configuration, security database,
# lock files and output live there and nowhere else. The server is reached through the FIREBIRD
# variable pointing at ROOT, listens on 127.0.0.1 only (an explicit address: "localhost" may mean
# ::1 alone where /etc/hosts maps it to both) on a port other than 3050, and is stopped by its own
# process id. Another Firebird server on this machine, /etc/firebird and the system's security
# database are never touched, so the tests can run on a machine that serves an office.
# Nothing here needs root: the files are the caller's and the port is above 1024.
set -euo pipefail

SYSTEM_ROOT=/usr/lib/x86_64-linux-gnu/firebird/3.0
SERVER_BIN=/usr/sbin/firebird
SECURITY_SQL=/usr/share/firebird/3.0/security.sql
# The password the client sends as SYSDBA (core/connection.h, kDbaPassword).
PASSWORD=quillwort
# Firebird's own log: this build of the server writes it to a fixed place, whatever FIREBIRD says.
ENGINE_LOG=/var/log/firebird/firebird3.0.log

usage() {
  echo "usage: $0 start ROOT [PORT] | stop ROOT" >&2
  exit 2
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A port between 3051 and 3150 nothing listens on (3050 belongs to a real server, if any). The
# search starts at a random place: a test that stops its server and starts it again on the same
# port must not find that port taken meanwhile by a server another test started at that moment.
free_port() {
  local i p start=$((RANDOM % 100))
  for i in $(seq 0 99); do
    p=$((3051 + (start + i) % 100))
    listening "$p" || { echo "$p"; return 0; }
  done
  echo "no free port between 3051 and 3150" >&2
  return 1
}

# True while the process runs. A finished server whose parent has gone may stay a zombie
# (state Z) until something reaps it: that counts as ended.
alive() {
  local pid=${1:-} state
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  state=$(sed 's/^[0-9]* (.*) \([A-Za-z]\).*/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# The recorded id still names this root's server (not a process that reused the id).
ours() {
  local pid=$1 root=$2
  alive "$pid" && tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "FIREBIRD=$root"
}

# Stops the server whose id this root recorded, and nothing else.
stop_server() {
  local root=$1 pid
  [ -f "$root/server.pid" ] || return 0
  pid=$(cat "$root/server.pid")
  if ours "$pid" "$root"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 30); do alive "$pid" || break; sleep 0.1; done
    # Now and then the server does not act on the request (seen right after a start); a test
    # server's databases are disposable and written carefully anyway, so it is then ended hard.
    if alive "$pid"; then
      kill -KILL "$pid" 2>/dev/null || true
      for _ in $(seq 1 30); do alive "$pid" || break; sleep 0.1; done
    fi
  fi
  rm -f "$root/server.pid"
}

# Lays out ROOT: links to the packaged messages, plugins and character sets, and a configuration
# written here (the packaged one binds to "localhost" and uses the system's security database).
prepare_root() {
  local root=$1 port=$2 f
  mkdir -p "$root/lock"
  for f in firebird.msg plugins lib UDF; do
    [ -e "$SYSTEM_ROOT/$f" ] && ln -sfn "$SYSTEM_ROOT/$f" "$root/$f"
  done
  # The character sets are looked for at $FIREBIRD/intl/ and must be a copy: loaded through a
  # link, WIN1252 is reported as "not installed".
  [ -L "$root/intl" ] && rm -f "$root/intl"
  mkdir -p "$root/intl"
  rm -f "$root/intl/libfbintl.so"
  cp "$SYSTEM_ROOT/intl/libfbintl.so" "$root/intl/libfbintl.so"
  cat >"$root/firebird.conf" <<EOF
# Private test server: written by scripts/firebird-server.sh, rewritten on each start.
RemoteBindAddress = 127.0.0.1
RemoteServicePort = $port
RemoteAuxPort = 0
SecurityDatabase = $root/security3.fdb
AuthServer = Srp
UserManager = Srp
UdfAccess = None
IpcName = PROTOCOLO_TEST_$port
EOF
  cat >"$root/databases.conf" <<EOF
security.db = $root/security3.fdb
EOF
  cat >"$root/plugins.conf" <<'EOF'
Plugin = UDR {
	Module = $(dir_plugins)/udr_engine
	Config = UDR_config
}
Config = UDR_config {
	path = $(dir_plugins)/udr
}
EOF
}

# A security database of its own holding SYSDBA with the client's password, built through the
# embedded engine (no server involved) the way the Debian package builds the system one.
make_security_db() {
  local root=$1
  [ -f "$root/security3.fdb" ] && return 0
  local tmp="$root/security3.fdb.new"
  rm -f "$tmp"
  echo "CREATE DATABASE '$tmp';" | isql-fb -q
  isql-fb -q -user SYSDBA -i "$SECURITY_SQL" "$tmp" >/dev/null
  mv "$tmp" "$root/security3.fdb"
}

set_password() {
  local root=$1
  printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" "$PASSWORD" \
    | isql-fb -q -user SYSDBA "$root/security3.fdb" >/dev/null
}

explain_failure() {
  local root=$1 why=$2
  {
    echo "Firebird test server did not start: $why"
    echo "  server output: $root/server.out"
    echo "  engine log:    $ENGINE_LOG"
    if [ -s "$root/server.out" ]; then
      echo "  last lines of the server output:"
      tail -n 20 "$root/server.out" | sed 's/^/    /'
    fi
  } >&2
}

start_server() {
  local root=$1 port=${2:-}
  [ -x "$SERVER_BIN" ] || { echo "$SERVER_BIN not found (package firebird3.0-server-core)" >&2; return 1; }
  mkdir -p "$root"
  root=$(cd "$root" && pwd)
  # An earlier run of this root left its server: end it (by its id) before starting again.
  stop_server "$root"
  [ -n "$port" ] || port=$(free_port)
  if listening "$port"; then
    explain_failure "$root" "port $port is in use by another program"
    return 1
  fi
  prepare_root "$root" "$port"
  export FIREBIRD="$root" FIREBIRD_LOCK="$root/lock" FIREBIRD_MSG="$root"
  if ! make_security_db "$root" 2>"$root/server.out" || ! set_password "$root" 2>>"$root/server.out"; then
    explain_failure "$root" "the private security database could not be made"
    return 1
  fi
  # Started directly (no guardian, no system service) so the id below is the server's own. The
  # port comes from the configuration: "-p" would also replace the bind address.
  "$SERVER_BIN" >>"$root/server.out" 2>&1 </dev/null &
  local pid=$!
  echo "$pid" >"$root/server.pid"
  echo "$port" >"$root/server.port"
  for _ in $(seq 1 150); do
    if ! alive "$pid"; then
      explain_failure "$root" "the server process ended at once"
      rm -f "$root/server.pid"
      return 1
    fi
    if listening "$port"; then
      echo "$port"
      return 0
    fi
    sleep 0.1
  done
  explain_failure "$root" "nothing listens on 127.0.0.1:$port after 15 s"
  stop_server "$root"
  return 1
}

case "${1:-}" in
  start)
    [ $# -ge 2 ] || usage
    start_server "$2" "${3:-}"
    ;;
  stop)
    [ $# -ge 2 ] || usage
    [ -d "$2" ] && stop_server "$(cd "$2" && pwd)"
    ;;
  *)
    usage
    ;;
esac
