# What the benchmarks of the whole program share: its folder with a settings.ini that starts the
# server, the program started on a private display, its capture helper and working directory, and
# an end that leaves none of them behind. Source it after bench/lib/compare.sh, with `work` set.
source scripts/lib/xvfb.sh

program_pid=
program_workdir=
nginx_pid=
helper=

# install_program BINARY USER PASSWORD PORT -> $work/app/lumora with its settings.ini beside it.
install_program() {
  mkdir -p "$work/app"
  cp "$1" "$work/app/lumora"
  cat > "$work/app/settings.ini" <<INI
language = English
username = $2
password = $(printf '%s' "$3" | sha1sum | cut -d' ' -f1)
server = 1
hide = 0
ipcheck = 0
port = $4
device = 0
INI
}

# start_program PORT [NAME=VALUE...]: the program on the servers' core of a private display,
# with those environment entries, once it answers on the port.
start_program() {
  local port=$1
  shift
  start_xvfb
  (cd "$work/app" && exec env "$@" taskset -c $server_cpu ./lumora) > "$work/program.out" 2>&1 &
  program_pid=$!
  wait_until_serving "$port" || { echo "the program does not serve"; cat "$work/program.out"; return 1; }
}

# The running capture helper: the program's child started from <working directory>/capture.
helper_pid() {
  local child
  [[ -n "$program_pid" ]] || return 0
  for child in $(cat /proc/"$program_pid"/task/*/children 2>/dev/null); do
    if tr '\0' '\n' < /proc/"$child"/cmdline 2>/dev/null | grep -q '/capture$'; then
      echo "$child"; return 0
    fi
  done
}

# wait_for_helper -> sets helper and program_workdir once the helper runs and has written a picture.
wait_for_helper() {
  for _ in $(seq 50); do [[ -n "$(helper_pid)" ]] && break; sleep 0.1; done
  helper=$(helper_pid)
  [[ -n "$helper" ]] || { echo "no capture helper runs"; cat "$work/program.out"; return 1; }
  program_workdir=$(readlink "/proc/$helper/cwd")
  for _ in $(seq 50); do [[ -f "$program_workdir/webcam.jpg" ]] && break; sleep 0.1; done
}

cleanup() {
  local pid
  for pid in $program_pid $nginx_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # Ended from outside, the program cannot remove its working directory itself.
  if [[ -n "$program_workdir" && -d "$program_workdir" ]]; then
    for _ in $(seq 20); do [[ -z "$(helper_pid)" ]] && break; sleep 0.1; done
    rm -rf "$program_workdir"
  fi
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
