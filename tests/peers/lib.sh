# Sourced by the peer scripts after ports.sh: helpers to run a daemon detached
# from the test run's output pipes, wait for its port, and stop it.

export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH

# A daemon whose unprivileged processes read or write its files runs under
# mounted.sh, which shows its folder of the build tree at PEER_VIEW (an empty
# folder, only a mount point) in a mount namespace of its own; its
# configuration names its files there.
PEER_VIEW=/run/nembra-peer
mkdir -p -m 755 "$PEER_VIEW"

# wait_port PORT [tcp|udp]: waits up to 10 s for a listener on 127.0.0.1:PORT.
wait_port() {
  local port=$1 proto=${2:-tcp} flag=-ltn
  [ "$proto" = udp ] && flag=-lun
  for _ in $(seq 1 200); do
    ss $flag 2>/dev/null | awk '{print $4}' | grep -qE "(127\.0\.0\.1|0\.0\.0\.0|\*|\[::\]):$port\$" && return 0
    sleep 0.05
  done
  echo "nothing listens on $proto port $port" >&2
  return 1
}

# ports_free PEER PORT... : fails, naming the port and who holds it, when
# something already listens on one of the ports the peer PEER is to use.
# PORT: N or FIRST-LAST (TCP), udp:N or udp:FIRST-LAST.
ports_free() {
  local peer=$1 spec proto lo hi taken
  shift
  for spec in "$@"; do
    proto=tcp
    if [ "${spec#udp:}" != "$spec" ]; then
      proto=udp
      spec=${spec#udp:}
    fi
    lo=${spec%-*}
    hi=${spec#*-}
    taken=$(ss -Hlnp --"$proto" 2>/dev/null | awk -v lo="$lo" -v hi="$hi" '
      { n = split($4, a, ":"); p = a[n] + 0
        if (p >= lo && p <= hi) { print p " (listener " $4 (NF >= 6 ? " " $6 : "") ")"; exit } }')
    if [ -n "$taken" ]; then
      echo "$peer: $proto port ${taken%% *} is already taken ${taken#* }" >&2
      return 1
    fi
  done
}

# run_detached PIDFILE LOG COMMAND...: starts COMMAND in a session of its own.
# PIDFILE gets its pid and start time, so that a later run never takes an
# unrelated process that reuses the pid for it.
run_detached() {
  local pidfile=$1 log=$2
  shift 2
  setsid "$@" </dev/null >>"$log" 2>&1 &
  echo "$! $(proc_start $!)" >"$pidfile"
}

# proc_start PID: the start time of PID (clock ticks since boot).
proc_start() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  echo "$stat" | cut -d' ' -f20
}

# running PID [START]: whether PID is a live process (a zombie waiting for its
# parent is not) that started at START, when given.
running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ] || return 1
  [ -z "${2:-}" ] || [ "$(echo "$stat" | cut -d' ' -f20)" = "$2" ]
}

# descendants PID: the processes below PID (children that left its process
# group or session too).
descendants() {
  ps -e -o pid=,ppid= | awk -v root="$1" '
    { parent[$1] = $2 }
    END {
      for (p in parent) {
        q = parent[p]
        for (i = 0; i < 64 && q > 1; i++) {
          if (q == root) { print p; break }
          q = parent[q]
        }
      }
    }'
}

# stop_pid PIDFILE: ends the process named in PIDFILE, its process group and
# every process below it, waiting up to 5 s before SIGKILL.
stop_pid() {
  local pidfile=$1 pid start all p left
  [ -f "$pidfile" ] || return 0
  read -r pid start <"$pidfile" || true
  if [ -n "$pid" ] && running "$pid" "$start"; then
    all="$pid $(descendants "$pid" | tr '\n' ' ')"
    kill -TERM -- "-$pid" 2>/dev/null || true
    # shellcheck disable=SC2086
    kill -TERM $all 2>/dev/null || true
    for _ in $(seq 1 100); do
      left=
      for p in $all; do running "$p" && left="$left $p"; done
      [ -z "$left" ] && break
      sleep 0.05
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

# alive PIDFILE: whether the process named in PIDFILE runs.
alive() {
  local pid start
  [ -f "$1" ] && read -r pid start <"$1" && [ -n "$pid" ] && running "$pid" "$start"
}

# ensure_account NAME PASSWORD GECOS [HOME]: a throw-away system account without
# a login shell, made once and given PASSWORD ('*': none, key logins only).
# HOME (default /nonexistent) is never created. Several peers may start at
# once: serialised under a lock.
ensure_account() {
  local name=$1 password=$2 gecos=$3 home=${4:-/nonexistent} hash
  if [ "$password" = '*' ]; then
    hash='*'
  else
    hash=$(openssl passwd -6 -salt nembra "$password")
  fi
  (
    flock -w 30 8 || { echo "account lock busy" >&2; exit 1; }
    if ! getent passwd "$name" >/dev/null; then
      useradd --system --user-group --no-create-home --home-dir "$home" \
        --shell /usr/sbin/nologin --comment "$gecos" --password "$hash" "$name"
    else
      [ "$(getent shadow "$name" | cut -d: -f2)" = "$hash" ] || usermod --password "$hash" "$name"
      [ "$(getent passwd "$name" | cut -d: -f6)" = "$home" ] || usermod --home "$home" "$name"
    fi
  ) 8>/tmp/nembra-accounts.lock
}
