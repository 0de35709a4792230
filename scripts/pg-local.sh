#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests and the several-seat demo.
#   eval "$(scripts/pg-local.sh start [DIR])"   starts one, prints the exports
#   scripts/pg-local.sh stop [DIR]              stops it and removes DIR
# The cluster lives in DIR (a new temporary folder by default), listens on
# 127.0.0.1 on a free port and runs as an unprivileged user, since the
# server refuses to run as root. It writes DIR/orders.ini, the [orders] lines
# of client.ini that point at it, with the password in DIR/password (0600,
# owned by the caller). The printed exports: AGENT_PG_DIR, AGENT_PG_INI.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "pg-local.sh: PostgreSQL is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

command=${1:-}
dir=${2:-${AGENT_PG_DIR:-}}

# As the server's user: root hands the work to an unprivileged one.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$server_user" -- "$@"
  else
    "$@"
  fi
}

server_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  server_user=agentpg
  if ! id "$server_user" >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin "$server_user"
  fi
fi

free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  echo "pg-local.sh: no free port found" >&2
  return 1
}

case "$command" in
  start)
    if [ -z "$dir" ]; then dir=$(mktemp -d /tmp/agent-pg.XXXXXX); fi
    mkdir -p "$dir"
    chmod 755 "$dir"
    port=$(free_port)
    password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    umask 077
    printf '%s\n' "$password" > "$dir/password"
    # initdb reads the password from a file the server's user can read.
    mkdir -p "$dir/cluster"
    printf '%s\n' "$password" > "$dir/cluster-pw"
    if [ "$(id -u)" -eq 0 ]; then chown "$server_user" "$dir/cluster" "$dir/cluster-pw"; fi
    as_server "$bindir/initdb" -D "$dir/cluster/data" -U agent --pwfile="$dir/cluster-pw" \
      --auth=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    rm -f "$dir/cluster-pw"
    as_server "$bindir/pg_ctl" -D "$dir/cluster/data" -l "$dir/cluster/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir/cluster -c fsync=off -c max_connections=200" \
      start >/dev/null || { cat "$dir/cluster/server.log" >&2; exit 1; }
    PGPASSWORD=$password "$bindir/createdb" -h 127.0.0.1 -p "$port" -U agent agent
    umask 022
    cat > "$dir/orders.ini" <<EOF
[orders]
driver=postgresql
host=127.0.0.1
port=$port
database=agent
user=agent
passwordFile=$dir/password
EOF
    echo "export AGENT_PG_DIR=$dir"
    echo "export AGENT_PG_INI=$dir/orders.ini"
    ;;
  stop)
    if [ -z "$dir" ] || [ ! -d "$dir/cluster/data" ]; then
      echo "pg-local.sh: no cluster to stop (give its folder or set AGENT_PG_DIR)" >&2
      exit 1
    fi
    as_server "$bindir/pg_ctl" -D "$dir/cluster/data" -m fast -w stop >/dev/null || true
    rm -rf "$dir"
    ;;
  *)
    sed -n '2,9p' "$0" >&2
    exit 2
    ;;
esac
