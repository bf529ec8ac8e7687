#!/usr/bin/env bash
# Tries the two README commands the way a new user would: on a minimal Debian 12 made with
# debootstrap, as root, in a bare environment. Run by hand (as root), not by CI:
#
#   scripts/fresh-debian-check.sh [--hosts both|ipv4] [--keep] [--reuse] [TARGET]
#
#   --hosts both  /etc/hosts as Debian writes it: "127.0.0.1 localhost" and "::1 localhost ..."
#                 (the default)
#   --hosts ipv4  only the IPv4 localhost line
#   --keep        leave the system in TARGET afterwards (it is removed otherwise)
#   --reuse       use the system already in TARGET (made by an earlier --keep run); the working
#                 tree is copied in afresh all the same
#   --keep-tree   with --reuse: copy the working tree over the one inside, keeping its build/
#                 folder (a rerun after a change builds only what changed)
#   TARGET        where the system is made (default /var/tmp/protocolo-fresh-debian)
#
# Steps: debootstrap; copy this working tree (without build/ and demo/) to /root/protocolo;
# "bash scripts/run-tests.sh"; "bash scripts/run-demo.sh" under Xvfb until the login window
# shows, then stopped; the office server setup of the README (bind address, SYSDBA password,
# backup with gbak) on the system's own Firebird server. The time of each step is printed.
# Only processes running inside TARGET are stopped and only what this script mounted is
# unmounted, on every path (failure and Ctrl+C included).
set -euo pipefail

HOSTS=both
KEEP=0
REUSE=0
KEEP_TREE=0
TARGET=/var/tmp/protocolo-fresh-debian
while [ $# -gt 0 ]; do
  case "$1" in
    --hosts) HOSTS=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    --reuse) REUSE=1; KEEP=1; shift ;;
    --keep-tree) KEEP_TREE=1; shift ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) TARGET=$1; shift ;;
  esac
done
case "$HOSTS" in both|ipv4) ;; *) echo "--hosts both|ipv4" >&2; exit 2 ;; esac
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot and mounts need it)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "install debootstrap first: apt-get install debootstrap" >&2; exit 1; }
command -v xwininfo >/dev/null || { echo "install x11-utils first (xwininfo watches for the login window)" >&2; exit 1; }

SOURCE=${FRESH_SOURCE:-$(cd "$(dirname "$0")/.." && pwd)}
TARGET=$(mkdir -p "$TARGET" && cd "$TARGET" && pwd)
[ "$TARGET" != / ] || { echo "refusing to use / as the target" >&2; exit 1; }
# The mirror apt already uses on this machine.
MIRROR=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null \
  | grep -E '^[[:space:]]*(deb|URIs:)' | grep -oE 'https?://[^ ]+/debian/?( |$)' | grep -v security \
  | head -n1 | tr -d ' ' || true)
MIRROR=${MIRROR:-http://deb.debian.org/debian}
DISPLAY_NUMBER=${FRESH_DISPLAY:-91}

MOUNTED=()
STARTED_AT=$(date +%s)
step_start=0
step() {
  step_start=$(date +%s)
  echo
  echo "=== $* ($(date -u +%H:%M:%S) UTC)"
}
step_done() { echo "=== done in $(($(date +%s) - step_start)) s"; }

# Processes whose root folder is inside TARGET: only those this script started there.
processes_inside() {
  local p root
  for p in /proc/[0-9]*; do
    root=$(readlink "$p/root" 2>/dev/null) || continue
    case "$root" in "$TARGET"|"$TARGET"/*) echo "${p#/proc/}" ;; esac
  done
}

cleanup() {
  local rc=$? pids m i
  set +e
  pids=$(processes_inside)
  if [ -n "$pids" ]; then
    echo "stopping what still runs inside $TARGET: $(echo $pids)"
    kill -TERM $pids 2>/dev/null
    sleep 2
    pids=$(processes_inside)
    [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
    sleep 0.5
  fi
  for ((i = ${#MOUNTED[@]} - 1; i >= 0; i--)); do
    m=${MOUNTED[$i]}
    umount "$m" 2>/dev/null || umount -l "$m" || echo "could not unmount $m" >&2
  done
  if [ "$KEEP" -eq 0 ] && [ "$(findmnt -rno TARGET | grep -c "^$TARGET" || true)" -eq 0 ]; then
    rm -rf --one-file-system "$TARGET"
  fi
  echo
  echo "=== total $(($(date +%s) - STARTED_AT)) s, exit status $rc"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_inside() { # mount_inside WHAT WHERE [options...]
  local what=$1 where=$TARGET/$2
  shift 2
  mkdir -p "$where"
  mount "$@" "$what" "$where"
  MOUNTED+=("$where")
}

# Runs a command inside the system as root with a bare environment.
inside() {
  chroot "$TARGET" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

if [ "$REUSE" -eq 1 ] && [ -x "$TARGET/bin/bash" ]; then
  echo "reusing the system in $TARGET"
else
  step "debootstrap bookworm (minbase) from $MIRROR into $TARGET"
  debootstrap --variant=minbase bookworm "$TARGET" "$MIRROR"
  step_done
fi

mount_inside proc proc -t proc
mount_inside sysfs sys -t sysfs
mount_inside /dev dev --bind
mount_inside /dev/pts dev/pts --bind
mount_inside tmpfs dev/shm -t tmpfs
mount_inside tmpfs tmp -t tmpfs
cp /etc/resolv.conf "$TARGET/etc/resolv.conf"
# Services are not started by package installation inside the system: the README commands start
# what they need themselves, and a service started by the package would outlive this run.
printf '#!/bin/sh\nexit 101\n' >"$TARGET/usr/sbin/policy-rc.d"
chmod +x "$TARGET/usr/sbin/policy-rc.d"

if [ "$HOSTS" = both ]; then
  printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\nff02::1\t\tip6-allnodes\nff02::2\t\tip6-allrouters\n' \
    >"$TARGET/etc/hosts"
else
  printf '127.0.0.1\tlocalhost\n' >"$TARGET/etc/hosts"
fi
echo "/etc/hosts inside:"
sed 's/^/    /' "$TARGET/etc/hosts"

step "copy the working tree to /root/protocolo"
[ "$KEEP_TREE" -eq 1 ] && [ "$REUSE" -eq 1 ] || rm -rf "$TARGET/root/protocolo"
mkdir -p "$TARGET/root/protocolo"
if [ "$KEEP_TREE" -eq 1 ] && [ "$REUSE" -eq 1 ]; then
  # Over a kept build, only the files that differ are written, with the time of the copy: a file
  # keeping its own older time would look unchanged to the build beside it, which would go on
  # testing what was built from the earlier copy.
  STAGE=$(mktemp -d)
  tar -C "$SOURCE" --exclude=./build --exclude=./demo --exclude='./build-*' -cf - . | tar -C "$STAGE" -xf -
  (cd "$STAGE" && find . -type f) | while IFS= read -r f; do
    if ! cmp -s "$STAGE/$f" "$TARGET/root/protocolo/$f"; then
      mkdir -p "$(dirname "$TARGET/root/protocolo/$f")"
      cp "$STAGE/$f" "$TARGET/root/protocolo/$f"
    fi
  done
  rm -rf "$STAGE"
else
  tar -C "$SOURCE" --exclude=./build --exclude=./demo --exclude='./build-*' -cf - . \
    | tar -C "$TARGET/root/protocolo" -xf -
fi
du -sh "$TARGET/root/protocolo" | sed 's/^/    /'
step_done

step "README: bash scripts/run-tests.sh"
inside bash -c 'cd /root/protocolo && bash scripts/run-tests.sh' 2>&1 | tail -n 40
rc=${PIPESTATUS[0]}
step_done
# A failed test is reported at the end; the demonstration and the server are still tried.
FAILED=0
[ "$rc" -eq 0 ] || { echo "the test command failed (status $rc)" >&2; FAILED=$rc; }
if [ -n "$(processes_inside)" ]; then
  echo "the test command left processes running: $(processes_inside | tr '\n' ' ')" >&2
  exit 1
fi

step "README: bash scripts/run-demo.sh (under Xvfb, until the login window shows)"
# Xvfb also listens on TCP so that xwininfo here can watch the display inside.
inside bash -c "Xvfb :$DISPLAY_NUMBER -screen 0 1280x1024x24 -ac -listen tcp >/tmp/xvfb.log 2>&1 &"
for _ in $(seq 1 50); do
  xwininfo -display "127.0.0.1:$DISPLAY_NUMBER" -root >/dev/null 2>&1 && break
  sleep 0.2
done
demo_start=$(date +%s)
inside bash -c "cd /root/protocolo && DISPLAY=:$DISPLAY_NUMBER bash scripts/run-demo.sh >/tmp/demo.log 2>&1 &"
shown=0
for _ in $(seq 1 1800); do
  if xwininfo -display "127.0.0.1:$DISPLAY_NUMBER" -root -tree 2>/dev/null | grep -q '"Protocolo-Korvalis": '; then
    shown=1
    break
  fi
  # Still building or starting: something inside besides Xvfb runs.
  demo_running=0
  for p in $(processes_inside); do
    [ "$(cat "/proc/$p/comm" 2>/dev/null)" = Xvfb ] || demo_running=1
  done
  [ "$demo_running" -eq 1 ] || break
  sleep 1
done
echo "    login window after $(($(date +%s) - demo_start)) s (build included)"
if [ "$shown" -ne 1 ]; then
  echo "the login window did not show; the demo's output:" >&2
  tail -n 30 "$TARGET/tmp/demo.log" >&2
  exit 1
fi
command -v xwd >/dev/null && xwd -display "127.0.0.1:$DISPLAY_NUMBER" -root -out "$TARGET/root/login.xwd" 2>/dev/null || true
step_done

step "office server: the README's configuration on the system's own Firebird server"
# The system inside shares this machine's network: port 3050 must be free here.
if (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then
  echo "port 3050 is in use on this machine: office server step not run" >&2
  exit 1
fi
inside bash -s <<'EOF'
set -euo pipefail
conf=/etc/firebird/3.0/firebird.conf
# 2. Reachable by the workstations: every interface, port 3050.
sed -i -e 's/^RemoteBindAddress = .*/RemoteBindAddress =/' -e 's/^#\?RemoteServicePort = .*/RemoteServicePort = 3050/' "$conf"
grep -E '^(RemoteBindAddress|RemoteServicePort)' "$conf"
# 3. The SYSDBA password the client sends, set with the server stopped.
printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" 'quillwort' \
  | isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb
# No init system in this chroot: the server is started as the service would start it.
su -s /bin/sh firebird -c '/usr/sbin/fbguard -daemon -forever'
for _ in $(seq 1 150); do (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null && break; sleep 0.1; done
# 5. The database, in a folder the server owns.
mkdir -p /dados/backup && chown -R firebird:firebird /dados
printf 'office-1\n' | /root/protocolo/build/db/protocolo-initdb --admin-password-stdin \
  127.0.0.1/3050:/dados/KORVALIS_PROTOCOLO.fdb
# 6. Backup and restore with gbak; a restored copy left by an earlier run on a reused system goes first.
rm -f /dados/KORVALIS_PROTOCOLO-restaurado.fdb /dados/backup/KORVALIS_PROTOCOLO.fbk
gbak -b -user SYSDBA -password quillwort 127.0.0.1/3050:/dados/KORVALIS_PROTOCOLO.fdb \
  /dados/backup/KORVALIS_PROTOCOLO.fbk
gbak -c -user SYSDBA -password quillwort /dados/backup/KORVALIS_PROTOCOLO.fbk \
  127.0.0.1/3050:/dados/KORVALIS_PROTOCOLO-restaurado.fdb
echo "SELECT COUNT(*) AS USUARIOS FROM USUARIOS;" \
  | isql-fb -q -user SYSDBA -password quillwort 127.0.0.1/3050:/dados/KORVALIS_PROTOCOLO-restaurado.fdb
ls -la /dados /dados/backup
EOF
step_done
echo "listening on port 3050 (seen from this machine):"
ss -ltn 2>/dev/null | awk '$4 ~ /:3050$/' | sed 's/^/    /' || true
[ "$FAILED" -eq 0 ] || { echo "the test command had failed (status $FAILED)" >&2; exit "$FAILED"; }
