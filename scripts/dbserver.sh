#!/usr/bin/env bash
# A private MariaDB server run as the current user: its data in DIR, on 127.0.0.1 and a free port.
#   dbserver.sh start DIR [PASSWORD]   start (or reuse when already running); prints the port
#   dbserver.sh stop DIR               stop the server started in DIR
#   dbserver.sh status DIR             exit 0 when it answers
# DIR/port and DIR/password hold what a client needs; DIR/sock is the local socket.
set -euo pipefail

cmd=${1:?usage: dbserver.sh start|stop|status DIR [PASSWORD]}
dir=${2:?usage: dbserver.sh start|stop|status DIR [PASSWORD]}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
sock="$dir/sock"
pidfile="$dir/mariadbd.pid"

find_bin() {
  for b in "$@"; do
    if command -v "$b" >/dev/null 2>&1; then command -v "$b"; return 0; fi
    for d in /usr/sbin /usr/bin /usr/local/bin /usr/local/sbin; do
      if [ -x "$d/$b" ]; then echo "$d/$b"; return 0; fi
    done
  done
  return 1
}

alive() {
  [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null &&
    "$ADMIN" --no-defaults --socket="$sock" -uroot -p"$(cat "$dir/password" 2>/dev/null)" ping >/dev/null 2>&1
}

ADMIN=$(find_bin mariadb-admin mysqladmin) || { echo "mariadb-admin not found" >&2; exit 1; }

case "$cmd" in
status)
  alive
  ;;
stop)
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
  fi
  ;;
start)
  if alive; then cat "$dir/port"; exit 0; fi
  SERVER=$(find_bin mariadbd mysqld) || { echo "mariadbd not found" >&2; exit 1; }
  INSTALL=$(find_bin mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 1; }
  CLIENT=$(find_bin mariadb mysql) || { echo "mariadb client not found" >&2; exit 1; }
  password=${3:-}
  if [ -z "$password" ]; then
    if [ -s "$dir/password" ]; then password=$(cat "$dir/password"); else password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n'); fi
  fi
  umask 077
  fresh=0
  if [ ! -d "$data/mysql" ]; then
    rm -rf "$data"
    "$INSTALL" --no-defaults --user="$(id -un)" --datadir="$data" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; exit 1; }
    fresh=1
  fi
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()' 2>/dev/null ||
    echo $((20000 + RANDOM % 20000)))
  "$SERVER" --no-defaults --user="$(id -un)" --datadir="$data" --socket="$sock" --port="$port" \
    --bind-address=127.0.0.1 --skip-name-resolve --character-set-server=utf8mb4 \
    --collation-server=utf8mb4_general_ci --pid-file="$pidfile" --log-error="$dir/server.log" \
    --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2 --skip-log-bin >/dev/null 2>&1 &
  for _ in $(seq 1 300); do
    if "$ADMIN" --no-defaults --socket="$sock" -uroot ping >/dev/null 2>&1 ||
      "$ADMIN" --no-defaults --socket="$sock" -uroot -p"$password" ping >/dev/null 2>&1; then
      break
    fi
    sleep 0.1
  done
  if [ "$fresh" = 1 ]; then
    # each root account gets the password with its own statement
    sql="DELETE FROM mysql.global_priv WHERE user='root' AND host NOT IN ('localhost','127.0.0.1','::1');"
    for h in localhost 127.0.0.1 ::1; do
      sql="$sql CREATE USER IF NOT EXISTS 'root'@'$h'; ALTER USER 'root'@'$h' IDENTIFIED BY '$password';"
      sql="$sql GRANT ALL PRIVILEGES ON *.* TO 'root'@'$h' WITH GRANT OPTION;"
    done
    "$CLIENT" --no-defaults --socket="$sock" -uroot -e "$sql FLUSH PRIVILEGES;"
  fi
  "$ADMIN" --no-defaults --socket="$sock" -uroot -p"$password" ping >/dev/null 2>&1 ||
    { echo "the server in $dir did not start; see $dir/server.log" >&2; exit 1; }
  printf '%s\n' "$port" >"$dir/port"
  printf '%s\n' "$password" >"$dir/password"
  echo "$port"
  ;;
*)
  echo "usage: dbserver.sh start|stop|status DIR [PASSWORD]" >&2
  exit 2
  ;;
esac
