#!/usr/bin/env bash
# A private three-node database cluster (synchronous replication, every node takes reads and
# writes) run as the current user on 127.0.0.1, for tests and trials. Its nodes live in DIR/node1,
# DIR/node2 and DIR/node3, each with its own data folder and ports.
#   cluster.sh start DIR          start the cluster (made on the first start); prints the servers
#                                 as host:port,host:port,host:port
#   cluster.sh stop DIR           stop every node, the cluster can be started again later
#   cluster.sh kill N DIR         kill node N at once (as a power cut would)
#   cluster.sh start-node N DIR   start node N again: it recovers its position and rejoins the
#                                 running cluster, taking what it missed from the others
#   cluster.sh status DIR         print each node's state; exit 0 when all three are synced
# DIR/password holds the root password (POS_DB_PASSWORD when set at the first start), and
# DIR/nodeN/port and DIR/nodeN/password node N's port and password as dbserver.sh leaves them for
# a single server. Node N's data, socket, log and client.cnf (an option file for its root account)
# are in DIR/nodeN, or in the folder DIR/nodes_home names. The nodes write commits to disk
# lazily, as the test servers do: a cluster for trials, not a shop's data.
set -euo pipefail

usage="usage: cluster.sh start|stop|status DIR | kill|start-node N DIR"
cmd=${1:?$usage}
case "$cmd" in
kill | start-node)
  node_arg=${2:?$usage}
  dir=${3:?$usage}
  ;;
*) dir=${2:?$usage} ;;
esac
umask 077
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
nodes=(1 2 3)

# shellcheck source=findbin.sh
. "$(dirname "${BASH_SOURCE[0]}")/findbin.sh"
ADMIN=$(find_bin mariadb-admin mysqladmin) || { echo "mariadb-admin not found" >&2; exit 1; }
CLIENT=$(find_bin mariadb mysql) || { echo "mariadb client not found" >&2; exit 1; }
PROVIDER=""
for p in /usr/lib/galera/libgalera_smm.so /usr/lib/libgalera_smm.so /usr/lib64/galera-4/libgalera_smm.so; do
  [ -f "$p" ] && { PROVIDER=$p; break; }
done

# The nodes run as this user. Run by root, they run as the database's own system account: the
# state transfer's file server would otherwise run as "nobody" and could not write the joiner's
# data folder.
run_user=$(id -un)
if [ "$(id -u)" = 0 ] && id mysql >/dev/null 2>&1; then run_user=mysql; fi
own() { # own PATH...: gives the nodes' user the paths it writes
  [ "$run_user" = "$(id -un)" ] || chown -R "$run_user" "$@"
}
[ "$run_user" = "$(id -un)" ] || chmod 711 "$dir"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

# The four ports of every node (client, replication, incremental transfer, state transfer), chosen
# once so that the nodes find each other again after any restart.
if [ ! -s "$dir/ports" ]; then
  for n in "${nodes[@]}"; do echo "$n $(free_port) $(free_port) $(free_port) $(free_port)"; done >"$dir/ports"
fi
port_of() { awk -v n="$1" -v f="$2" '$1==n {print $f}' "$dir/ports"; }
client_port() { port_of "$1" 2; }
gcomm=""
for n in "${nodes[@]}"; do gcomm="$gcomm${gcomm:+,}127.0.0.1:$(port_of "$n" 3)"; done

# The nodes' folders must be reachable by the account they run as: below a folder that account
# cannot enter (a home only root may enter), they are kept in a folder of their own under /tmp,
# named in DIR/nodes_home.
home="$dir"
if [ "$run_user" != "$(id -un)" ] && ! runuser -u "$run_user" -- test -x "$dir" 2>/dev/null; then
  [ -s "$dir/nodes_home" ] || mktemp -d /tmp/pos-cluster.XXXXXX >"$dir/nodes_home"
  home=$(cat "$dir/nodes_home")
  mkdir -p "$home"
  chmod 711 "$home"
fi
ndir() { echo "$home/node$1"; }
pidfile() { echo "$(ndir "$1")/mariadbd.pid"; }
cnf() { echo "$(ndir "$1")/client.cnf"; }

is_our_server() {
  [ -n "$2" ] && [ -r "/proc/$2/cmdline" ] &&
    tr '\0' '\n' <"/proc/$2/cmdline" 2>/dev/null | grep -qxF -- "--pid-file=$(pidfile "$1")"
}
server_pid() {
  local pid
  pid=$(cat "$(pidfile "$1")" 2>/dev/null) || return 1
  is_our_server "$1" "$pid" && echo "$pid"
}
# Whether node N's server process exists (also before it has written its pid file).
node_running() {
  local launched
  launched=$(cat "$(ndir "$1")/launched" 2>/dev/null || true)
  server_pid "$1" >/dev/null || { [ -n "$launched" ] && is_our_server "$1" "$launched"; } ||
    pgrep -f -- "--pid-file=$(pidfile "$1")" >/dev/null
}
sql() { # sql N STATEMENT: one value
  "$CLIENT" --defaults-file="$(cnf "$1")" -N -B -e "$2" 2>/dev/null
}
node_state() { sql "$1" "select variable_value from information_schema.global_status where variable_name='wsrep_local_state_comment'" || true; }

write_cnf() {
  local n=$1 v
  v=$(cat "$dir/password")
  v=${v//\\/\\\\}
  v=${v//\"/\\\"}
  mkdir -p "$(ndir "$n")"
  printf '[client]\nuser=root\npassword="%s"\nsocket="%s"\n' "$v" "$(ndir "$n")/sock" >"$(cnf "$n").new"
  chmod 600 "$(cnf "$n").new"
  mv -f "$(cnf "$n").new" "$(cnf "$n")"
  # the node's port and password as the tests read a server's (dbserver.sh writes the same)
  mkdir -p "$dir/node$n"
  client_port "$n" >"$dir/node$n/port"
  cp "$dir/password" "$dir/node$n/password"
}

# node_args N: the settings node N always runs with. Tables without a primary key are refused,
# as a shop's cluster should refuse them: each table's rows are then told apart by their key.
node_args() {
  local n=$1
  local d
  d=$(ndir "$n")
  echo --no-defaults --user="$run_user" --datadir="$d/data" --skip-name-resolve --character-set-server=utf8mb4 \
    --collation-server=utf8mb4_general_ci --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2 \
    --binlog-format=ROW --innodb-autoinc-lock-mode=2 --default-storage-engine=InnoDB \
    --wsrep-on=ON --wsrep-provider="$PROVIDER" --wsrep-cluster-name=pos_trial --wsrep-node-name="node$n" \
    --wsrep-cluster-address="gcomm://$gcomm" --wsrep-node-address="127.0.0.1:$(port_of "$n" 3)" \
    --wsrep-provider-options="base_port=$(port_of "$n" 3);ist.recv_addr=127.0.0.1:$(port_of "$n" 4);gcache.size=256M" \
    --wsrep-sst-receive-address="127.0.0.1:$(port_of "$n" 5)" --wsrep-sst-method=rsync --wsrep-slave-threads=2 \
    --wsrep-mode=REQUIRED_PRIMARY_KEY
}

# run_node N ARGS...: starts node N in the background with the cluster's settings.
run_node() {
  local n=$1 d
  shift
  d=$(ndir "$n")
  mkdir -p "$d/data"
  own "$d"
  SERVER=$(find_bin mariadbd mysqld) || { echo "mariadbd not found" >&2; exit 1; }
  # shellcheck disable=SC2046 # the settings hold no spaces
  "$SERVER" $(node_args "$n") --socket="$d/sock" --pid-file="$(pidfile "$n")" --log-error="$d/server.log" \
    --port="$(client_port "$n")" --bind-address=127.0.0.1 "$@" >/dev/null 2>&1 &
  echo $! >"$d/launched"
}

# wait_synced N: waits until node N has joined and holds every commit of the cluster.
wait_synced() {
  local n=$1
  for _ in $(seq 1 600); do
    if [ "$(node_state "$n")" = Synced ]; then
      # the donor's account is given at run time, never on a command line
      sql "$n" "set global wsrep_sst_auth='pos_sst:$(cat "$dir/sst_password")'" >/dev/null || true
      return 0
    fi
    node_running "$n" || sleep 0.5
    node_running "$n" || { echo "node $n stopped; see $(ndir "$n")/server.log" >&2; return 1; }
    sleep 0.2
  done
  echo "node $n did not join within 120 s; see $(ndir "$n")/server.log" >&2
  return 1
}

# The position node N's data holds, for a node that ended without a clean stop: the server reads
# it from its storage and writes it to its log.
recovered_position() {
  local n=$1 d log
  d=$(ndir "$n")
  log="$d/recover.log"
  rm -f "$log"
  SERVER=$(find_bin mariadbd mysqld)
  # shellcheck disable=SC2046
  "$SERVER" $(node_args "$n") --socket="$d/sock.recover" --pid-file="$d/recover.pid" --log-error="$log" \
    --skip-networking --wsrep-recover >/dev/null 2>&1 || true
  sed -n 's/.*WSREP: Recovered position: *\([0-9a-f-]*:-\{0,1\}[0-9]*\).*/\1/p' "$log" | tail -1
}

start_joiner() {
  local n=$1 pos=""
  node_running "$n" && return 0
  if [ -f "$(ndir "$n")/data/grastate.dat" ] && grep -q '^seqno: *-1' "$(ndir "$n")/data/grastate.dat"; then
    pos=$(recovered_position "$n")
  fi
  if [ -n "$pos" ]; then run_node "$n" --wsrep-start-position="$pos"; else run_node "$n"; fi
}

first_start() {
  local d n literal sql_text
  [ -n "$PROVIDER" ] || { echo "the replication library (Debian package galera-4) is not installed" >&2; exit 1; }
  INSTALL=$(find_bin mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 1; }
  SERVER=$(find_bin mariadbd mysqld)
  password=${POS_DB_PASSWORD:-$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')}
  printf '%s\n' "$password" >"$dir/password"
  for n in "${nodes[@]}"; do write_cnf "$n"; done
  d=$(ndir 1)
  rm -rf "$d/data"
  mkdir -p "$d/data"
  own "$d"
  "$INSTALL" --no-defaults --user="$run_user" --datadir="$d/data" --auth-root-authentication-method=normal \
    --skip-test-db >"$d/install.log" 2>&1 || { cat "$d/install.log" >&2; exit 1; }
  # the root password is set on node 1 alone, listening on its socket only; the others copy it
  "$SERVER" --no-defaults --user="$run_user" --datadir="$d/data" --socket="$d/sock" --pid-file="$(pidfile 1)" \
    --log-error="$d/server.log" --skip-networking >/dev/null 2>&1 &
  local server=$!
  for _ in $(seq 1 300); do "$ADMIN" --no-defaults --socket="$d/sock" -uroot ping >/dev/null 2>&1 && break; sleep 0.1; done
  literal=${password//\\/\\\\}
  literal=${literal//\'/\\\'}
  sql_text="DELETE FROM mysql.global_priv WHERE user='root' AND host NOT IN ('localhost','127.0.0.1','::1');"
  for h in localhost 127.0.0.1 ::1; do
    sql_text="$sql_text CREATE USER IF NOT EXISTS 'root'@'$h'; ALTER USER 'root'@'$h' IDENTIFIED BY '$literal';"
    sql_text="$sql_text GRANT ALL PRIVILEGES ON *.* TO 'root'@'$h' WITH GRANT OPTION;"
  done
  # the account a donor's backup tool reads its data with, when a node joins
  head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' >"$dir/sst_password"
  sql_text="$sql_text CREATE USER 'pos_sst'@'localhost' IDENTIFIED BY '$(cat "$dir/sst_password")';"
  sql_text="$sql_text GRANT RELOAD, PROCESS, LOCK TABLES, BINLOG MONITOR, REPLICA MONITOR ON *.* TO 'pos_sst'@'localhost';"
  printf '%s FLUSH PRIVILEGES;\n' "$sql_text" | "$CLIENT" --no-defaults --socket="$d/sock" -uroot
  "$ADMIN" --defaults-file="$(cnf 1)" shutdown >/dev/null 2>&1 || kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  for n in 2 3; do rm -rf "$(ndir "$n")/data"; done
}

# The node to start a stopped cluster from: the one that stopped last (it holds every commit).
bootstrap_node() {
  local n best=1 bestseq=-2 seq
  for n in "${nodes[@]}"; do
    local g="$(ndir "$n")/data/grastate.dat"
    [ -f "$g" ] || continue
    if grep -q '^safe_to_bootstrap: *1' "$g"; then echo "$n"; return; fi
    seq=$(sed -n 's/^seqno: *//p' "$g")
    [ "$seq" = -1 ] && seq=$(recovered_position "$n" | sed 's/.*://')
    if [ -n "$seq" ] && [ "$seq" -gt "$bestseq" ]; then best=$n; bestseq=$seq; fi
  done
  sed -i 's/^safe_to_bootstrap: *0/safe_to_bootstrap: 1/' "$(ndir "$best")/data/grastate.dat" 2>/dev/null || true
  echo "$best"
}

servers() {
  local s="" n
  for n in "${nodes[@]}"; do s="$s${s:+,}127.0.0.1:$(client_port "$n")"; done
  echo "$s"
}

case "$cmd" in
start)
  running=0
  for n in "${nodes[@]}"; do node_running "$n" && running=1; done
  if [ $running = 0 ]; then
    [ -d "$(ndir 1)/data/mysql" ] || first_start
    for n in "${nodes[@]}"; do write_cnf "$n"; done
    b=$(bootstrap_node)
    pos=""
    if grep -q '^seqno: *-1' "$(ndir "$b")/data/grastate.dat" 2>/dev/null; then pos=$(recovered_position "$b"); fi
    run_node "$b" --wsrep-new-cluster ${pos:+--wsrep-start-position="$pos"}
    wait_synced "$b"
  fi
  for n in "${nodes[@]}"; do start_joiner "$n"; done
  for n in "${nodes[@]}"; do wait_synced "$n"; done
  servers
  ;;
start-node)
  start_joiner "$node_arg"
  wait_synced "$node_arg"
  echo "127.0.0.1:$(client_port "$node_arg")"
  ;;
kill)
  if pid=$(server_pid "$node_arg"); then
    kill -9 "$pid"
    for _ in $(seq 1 100); do is_our_server "$node_arg" "$pid" || break; sleep 0.1; done
  fi
  rm -f "$(pidfile "$node_arg")"
  ;;
stop)
  for n in 3 2 1; do
    pid=$(server_pid "$n") || continue
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 300); do is_our_server "$n" "$pid" || break; sleep 0.1; done
    is_our_server "$n" "$pid" && kill -9 "$pid"
    rm -f "$(pidfile "$n")"
  done
  ;;
status)
  ok=0
  for n in "${nodes[@]}"; do
    s=$(node_state "$n")
    echo "node $n 127.0.0.1:$(client_port "$n") ${s:-down}"
    [ "$s" = Synced ] || ok=1
  done
  exit $ok
  ;;
*)
  echo "$usage" >&2
  exit 2
  ;;
esac
