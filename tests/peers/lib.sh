# Sourced by the peer scripts after ports.sh: helpers to run a daemon detached
# from the test run's output pipes, wait for its port, and stop it.

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

# run_detached PIDFILE LOG COMMAND...: starts COMMAND in a session of its own.
run_detached() {
  local pidfile=$1 log=$2
  shift 2
  setsid "$@" </dev/null >>"$log" 2>&1 &
  echo $! >"$pidfile"
}

# stop_pid PIDFILE: ends the process (and its group) named in PIDFILE.
stop_pid() {
  local pidfile=$1 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

# alive PIDFILE: whether the process named in PIDFILE runs.
alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
