# What the benchmarks share: free ports, waiting for a server, nginx with one worker as the
# reference, wrk runs against both servers alternating, medians, and CPU and memory of a process
# from /proc.
# Source it after setting `work` (a private temporary folder the caller removes); renew_login runs
# before every run against our server: serve_picture_pair's, or one the caller defines.

# The servers share one core and wrk has the other, so that neither starves the other.
server_cpu=0
client_cpu=1

free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 12000))
    if ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then echo "$port"; return; fi
  done
  echo "no free port" >&2
  return 1
}

# build_loopback_tool OUT SOURCE [G++-ARGUMENTS...]: a benchmark's own C++ client, on the tests'
# loopback client and free ports over the program's socket seam.
build_loopback_tool() {
  local out=$1 source=$2
  shift 2
  g++ -O2 -std=c++20 -pthread -I. -o "$out" "$source" tests/support/loopback_client.cpp \
    tests/support/free_port.cpp net/socket_linux.cpp "$@"
}

# build_web_test_server BUILD-DIR: the stand-alone server thread that the web benchmarks load,
# built for release.
build_web_test_server() {
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release > "$1.configure.log" 2>&1 \
    || { cat "$1.configure.log"; return 1; }
  cmake --build "$1" --target web-test-server > "$1.build.log" 2>&1 \
    || { tail -n 40 "$1.build.log"; return 1; }
}

# start_web_test_server BUILD-DIR PORT PICTURE SESSION [COMMAND-PREFIX...] -> sets web_server_pid
# once the server says it is ready (user and password "bench", logins kept for an hour).
web_server_pid=
start_web_test_server() {
  local build=$1 port=$2 picture=$3 session=$4
  shift 4
  "$@" "$build/tests/browser/web-test-server" "$port" "$picture" bench bench "$session" 3600 \
    > "$work/web-server.out" &
  web_server_pid=$!
  for _ in $(seq 50); do grep -q ready "$work/web-server.out" 2>/dev/null && break; sleep 0.1; done
  grep -q ready "$work/web-server.out" || { echo "the web test server did not start"; return 1; }
}

# stop_servers: the EXIT trap of the benchmarks that start servers through this file; ends them
# and removes `work`.
nginx_pid=
stop_servers() {
  local pid
  for pid in $web_server_pid $nginx_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}

# serve_picture_pair BUILD-DIR -> our web test server (on the server core) and nginx serving the
# same ~15.6 KB JPEG, checked byte for byte; sets picture_bytes, session, ours_port and nginx_port.
serve_picture_pair() {
  build_web_test_server "$1" || return 1
  mkdir "$work/www"
  chmod 755 "$work" "$work/www"
  convert -seed 3 -size 320x240 plasma:fractal -quality 85 "$work/www/webcam.jpg"
  chmod 644 "$work/www/webcam.jpg"
  picture_bytes=$(stat -c %s "$work/www/webcam.jpg")
  session=0123456789abcdef0123456789abcdef01234567
  ours_port=$(free_port)
  start_web_test_server "$1" "$ours_port" "$work/www/webcam.jpg" "$session" taskset -c $server_cpu \
    || return 1
  start_nginx "$work/www" webcam.jpg || return 1
  renew_login
  # Both answers must be the same picture, or the comparison means nothing.
  cmp -s <(curl -sf "http://127.0.0.1:$ours_port/webcam.jpg?1") "$work/www/webcam.jpg" \
    || { echo "our server does not serve the picture"; return 1; }
  cmp -s <(curl -sf "http://127.0.0.1:$nginx_port/webcam.jpg") "$work/www/webcam.jpg" \
    || { echo "nginx does not serve the picture"; return 1; }
}

# The login lapses after 10 quiet seconds.
renew_login() { curl -sf -o /dev/null "http://127.0.0.1:$ours_port/index.html?id=$session"; }

# wait_until_serving PORT [FILE]: true once 127.0.0.1:PORT answers (with the file, when one is
# named) within 10 s.
wait_until_serving() {
  for _ in $(seq 100); do
    curl -s ${2:+-f} -o /dev/null "http://127.0.0.1:$1/${2:-}" && return 0
    sleep 0.1
  done
  return 1
}

# start_nginx ROOT-FOLDER FILE -> sets nginx_pid and nginx_port once the file is served from the
# folder on 127.0.0.1, with room for the thousands of connections that a crowd of viewers keeps open.
start_nginx() {
  local root=$1 file=$2
  nginx_port=$(free_port)
  mkdir -p "$work/nginx/logs"
  cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
worker_rlimit_nofile 16384;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 16384; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { image/jpeg jpg; }
  server {
    listen 127.0.0.1:$nginx_port;
    root $root;
  }
}
CONF
  taskset -c $server_cpu nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  nginx_pid=$!
  wait_until_serving "$nginx_port" "$file" || { echo "nginx does not serve $file" >&2; return 1; }
}

# wrk_run NAME URL CLIENTS SECONDS
#   -> "requests/s p50-ms p99-ms errors closes bytes-per-answer"
# errors: failed connects, writes, timeouts and statuses other than 2xx. closes: reads that met
# the end of the connection; a server whose answers do not announce "Connection: close" has wrk
# send its next request on the closed connection and meet the close there, once per answer.
wrk_run() {
  local name=$1 url=$2 clients=$3 seconds=$4 out
  [[ $name == ours ]] && renew_login
  out=$(taskset -c $client_cpu wrk -t1 -c"$clients" -d"${seconds}s" --latency -H "Connection: close" "$url")
  echo "$out" > "$work/$name-$clients-$(date +%s%N).wrk"
  awk '
    function ms(v,  n, u) { n = v + 0; u = v; sub(/^[0-9.]+/, "", u)
      if (u == "us") n /= 1000; else if (u == "s") n *= 1000; else if (u == "m") n *= 60000; return n }
    function bytes(v,  n, u) { n = v + 0; u = v; sub(/^[0-9.]+/, "", u)
      if (u == "KB") n *= 1024; else if (u == "MB") n *= 1048576; else if (u == "GB") n *= 1073741824; return n }
    $1 == "50%" { p50 = ms($2) }
    $1 == "99%" { p99 = ms($2) }
    /Socket errors:/ { gsub(",", ""); errors += $4 + $8 + $10; closes = $6 }
    /Non-2xx/ { errors += $NF }
    /^Requests\/sec:/ { rps = $2 }
    /^Transfer\/sec:/ { transfer = bytes($2) }
    END { printf "%s %.3f %.3f %d %d %.0f\n", rps, p50, p99, errors, closes, rps ? transfer / rps : 0 }' <<< "$out"
}

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# compare_servers OURS-URL NGINX-URL SECONDS ROUNDS
# Alternates the two servers ROUNDS times per client count (1 and 10) and keeps the medians in
# result[ours|nginx,CLIENTS,rps|p50|p99|errors].
declare -A result
compare_servers() {
  local ours_url=$1 nginx_url=$2 seconds=$3 rounds=$4 clients name
  for clients in 1 10; do
    : > "$work/ours.txt"
    : > "$work/nginx.txt"
    for _ in $(seq "$rounds"); do
      wrk_run ours "$ours_url" "$clients" "$seconds" >> "$work/ours.txt"
      wrk_run nginx "$nginx_url" "$clients" "$seconds" >> "$work/nginx.txt"
    done
    for name in ours nginx; do
      result[$name,$clients,rps]=$(awk '{print $1}' "$work/$name.txt" | median)
      result[$name,$clients,p50]=$(awk '{print $2}' "$work/$name.txt" | median)
      result[$name,$clients,p99]=$(awk '{print $3}' "$work/$name.txt" | median)
      result[$name,$clients,errors]=$(awk '{s += $4} END {print s}' "$work/$name.txt")
      result[$name,$clients,closes]=$(awk '{s += $5} END {print s}' "$work/$name.txt")
      result[$name,$clients,bytes]=$(awk '{print $6}' "$work/$name.txt" | median)
    done
  done
}

# print_comparison: the request rows of the table, with the ratios against nginx.
print_comparison() {
  local clients
  printf "%-30s %12s %12s %14s\n" "" ours nginx "ours vs nginx"
  for clients in 1 10; do
    awk -v c="$clients" -v a="${result[ours,$clients,rps]}" -v b="${result[nginx,$clients,rps]}" \
        -v p="${result[ours,$clients,p50]}" -v q="${result[nginx,$clients,p50]}" \
        -v r="${result[ours,$clients,p99]}" -v s="${result[nginx,$clients,p99]}" \
        -v e="${result[ours,$clients,errors]}" -v f="${result[nginx,$clients,errors]}" \
        -v g="${result[ours,$clients,closes]}" -v h="${result[nginx,$clients,closes]}" \
        -v i="${result[ours,$clients,bytes]}" -v j="${result[nginx,$clients,bytes]}" 'BEGIN {
      printf "%-30s %12.0f %12.0f %13.2fx\n", c " client(s): requests/s", a, b, a / b
      printf "%-30s %12.3f %12.3f %+11.3f ms\n", c " client(s): p50 ms", p, q, p - q
      printf "%-30s %12.3f %12.3f %+11.3f ms\n", c " client(s): p99 ms", r, s, r - s
      printf "%-30s %12d %12d\n", c " client(s): errors", e, f
      printf "%-30s %12d %12d\n", c " client(s): closes met by wrk", g, h
      printf "%-30s %12d %12d\n", c " client(s): bytes per answer", i, j }'
  done
}

# Nanoseconds on a CPU, summed over the threads of the process (mawk's %d stops at 2^31).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}'; }

# idle_cpu_percent PID SECONDS: the share of one core the process used over that time.
idle_cpu_percent() {
  local before after
  before=$(cpu_ns "$1")
  sleep "$2"
  after=$(cpu_ns "$1")
  awk -v ns=$((after - before)) -v s="$2" 'BEGIN { printf "%.4f", ns / (s * 1e9) * 100 }'
}
