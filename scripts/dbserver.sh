#!/usr/bin/env bash
# A private MariaDB server run as the current user: its data in DIR, on 127.0.0.1 and a free port.
#   dbserver.sh start DIR    start (or reuse when already running); prints the port
#   dbserver.sh stop DIR     stop the server started in DIR
#   dbserver.sh status DIR   exit 0 when it answers
# DIR/port and DIR/password hold what a client needs; DIR/sock is the local socket and
# DIR/client.cnf an option file for the root account (--defaults-file=DIR/client.cnf).
# The first start makes up a root password, or takes the one in the environment variable
# POS_DB_PASSWORD. Passwords never go on a command line: other users can read those.
# A shop's server writes every commit to disk before it answers, so a power cut loses no paid
# bill. POS_DB_THROWAWAY=1 (the test suite's and the benchmarks' servers) trades that for speed.
set -euo pipefail

usage="usage: dbserver.sh start|stop|status DIR"
cmd=${1:?$usage}
dir=${2:?$usage}
umask 077
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
sock="$dir/sock"
pidfile="$dir/mariadbd.pid"
cnf="$dir/client.cnf"

# shellcheck source=findbin.sh
. "$(dirname "${BASH_SOURCE[0]}")/findbin.sh"

# The option file the clients read the root account from; private to the user.
write_cnf() {
  local v=$1
  v=${v//\\/\\\\}
  v=${v//\"/\\\"}
  printf '[client]\nuser=root\npassword="%s"\nsocket="%s"\n' "$v" "$sock" >"$cnf.new"
  chmod 600 "$cnf.new"
  mv -f "$cnf.new" "$cnf"
}

# Whether process $1 is the server of this folder (and not whatever got its id since).
is_our_server() {
  [ -n "$1" ] && [ -r "/proc/$1/cmdline" ] &&
    tr '\0' '\n' <"/proc/$1/cmdline" 2>/dev/null | grep -qxF -- "--pid-file=$pidfile"
}

server_pid() {
  local pid
  pid=$(cat "$pidfile" 2>/dev/null) || return 1
  is_our_server "$pid" && echo "$pid"
}

alive() {
  server_pid >/dev/null && [ -f "$cnf" ] && "$ADMIN" --defaults-file="$cnf" ping >/dev/null 2>&1
}

stop_pid() {
  local pid=$1
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do is_our_server "$pid" || return 0; sleep 0.1; done
  if is_our_server "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
}

ADMIN=$(find_bin mariadb-admin mysqladmin) || { echo "mariadb-admin not found" >&2; exit 1; }
if [ -s "$dir/password" ] && [ ! -f "$cnf" ]; then write_cnf "$(cat "$dir/password")"; fi

case "$cmd" in
status)
  alive
  ;;
stop)
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile" 2>/dev/null || true)
    if is_our_server "$pid"; then
      stop_pid "$pid"
    else
      echo "process ${pid:-?} of $pidfile is not the server of $dir: not stopped" >&2
    fi
    rm -f "$pidfile"
  fi
  ;;
start)
  if alive; then cat "$dir/port"; exit 0; fi
  SERVER=$(find_bin mariadbd mysqld) || { echo "mariadbd not found" >&2; exit 1; }
  INSTALL=$(find_bin mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 1; }
  CLIENT=$(find_bin mariadb mysql) || { echo "mariadb client not found" >&2; exit 1; }
  password=${POS_DB_PASSWORD:-}
  if [ -z "$password" ]; then
    if [ -s "$dir/password" ]; then password=$(cat "$dir/password"); else password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n'); fi
  fi
  write_cnf "$password"
  printf '%s\n' "$password" >"$dir/password"

  if [ "${POS_DB_THROWAWAY:-0}" = 1 ]; then
    tuning=(--innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2)
  else
    tuning=(--innodb-buffer-pool-size=256M --innodb-flush-log-at-trx-commit=1)
  fi
  # run_server ARGS...: starts the server in the background with the folder's settings.
  run_server() {
    "$SERVER" --no-defaults --user="$(id -un)" --datadir="$data" --socket="$sock" --skip-name-resolve \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci --pid-file="$pidfile" \
      --log-error="$dir/server.log" "${tuning[@]}" \
      --skip-log-bin "$@" >/dev/null 2>&1 &
    server=$!
  }
  # wait_for CLIENT-OPTIONS...: waits until the server answers a ping made with these options.
  wait_for() {
    for _ in $(seq 1 300); do
      "$ADMIN" "$@" ping >/dev/null 2>&1 && return 0
      kill -0 "$server" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  }
  fail() {
    echo "the server in $dir did not start: $1; see $dir/server.log" >&2
    exit 1
  }

  if [ ! -d "$data/mysql" ]; then
    rm -rf "$data"
    "$INSTALL" --no-defaults --user="$(id -un)" --datadir="$data" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; exit 1; }
    # Root has no password yet: the first start listens on the socket only (private to this
    # user) until each root account has its password. The statements go on standard input.
    run_server --skip-networking
    if ! wait_for --no-defaults --socket="$sock" -uroot; then
      kill "$server" 2>/dev/null || true
      rm -rf "$data"
      fail "the first start failed"
    fi
    literal=${password//\\/\\\\}
    literal=${literal//\'/\\\'}
    sql="DELETE FROM mysql.global_priv WHERE user='root' AND host NOT IN ('localhost','127.0.0.1','::1');"
    for h in localhost 127.0.0.1 ::1; do
      sql="$sql CREATE USER IF NOT EXISTS 'root'@'$h'; ALTER USER 'root'@'$h' IDENTIFIED BY '$literal';"
      sql="$sql GRANT ALL PRIVILEGES ON *.* TO 'root'@'$h' WITH GRANT OPTION;"
    done
    if ! printf '%s FLUSH PRIVILEGES;\n' "$sql" | "$CLIENT" --no-defaults --socket="$sock" -uroot; then
      kill "$server" 2>/dev/null || true
      wait "$server" 2>/dev/null || true
      rm -rf "$data"
      fail "the root password could not be set"
    fi
    "$ADMIN" --defaults-file="$cnf" shutdown >/dev/null 2>&1 || kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi

  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()' 2>/dev/null ||
    echo $((20000 + RANDOM % 20000)))
  run_server --port="$port" --bind-address=127.0.0.1
  wait_for --defaults-file="$cnf" || fail "it does not answer"
  printf '%s\n' "$port" >"$dir/port"
  echo "$port"
  ;;
*)
  echo "$usage" >&2
  exit 2
  ;;
esac
