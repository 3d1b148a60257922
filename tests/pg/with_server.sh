#!/usr/bin/env bash
# Runs a test program against a PostgreSQL server made for this run alone in
# a temporary folder and stopped afterwards: initdb and pg_ctl from Debian's
# packages, as the unprivileged "postgres" user when run as root, listening on
# the loopback address only, with password (SCRAM) logins. Exits 77, which
# the test is marked to skip on, when the server's programs are not installed.
#
# The program finds the server through QV_PG_HOST, QV_PG_PORT, QV_PG_PASSWORD
# (the superuser "postgres"), and stops and starts it with QV_PG_STOP and
# QV_PG_START.
set -euo pipefail

bin=""
for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do
  [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ] && bin="$d"
done
if [ -z "$bin" ]; then
  echo "PostgreSQL's server programs are not installed: skipped" >&2
  exit 77
fi

dir="$(mktemp -d /tmp/qv-pg-XXXXXX)"
chmod 755 "$dir"
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$dir"
  as=(runuser -u postgres --)
fi
cleanup() {
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT

password="$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')"
echo "$password" >"$dir/password"
[ ${#as[@]} -eq 0 ] || chown postgres: "$dir/password"
"${as[@]}" "$bin/initdb" -D "$dir/data" -U postgres --pwfile="$dir/password" \
  --auth-local=scram-sha-256 --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >/dev/null

# A free port: the one the kernel gives a listening socket that is then closed.
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
options="-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off"
export QV_PG_HOST=127.0.0.1 QV_PG_PORT="$port" QV_PG_PASSWORD="$password"
export QV_PG_START="${as[*]} $bin/pg_ctl -D $dir/data -l $dir/log -w -o '$options' start >/dev/null"
export QV_PG_STOP="${as[*]} $bin/pg_ctl -D $dir/data -m fast -w stop >/dev/null"
eval "$QV_PG_START"
# The test's own passwords and service settings, never the user's.
unset PGPASSWORD PGHOST PGPORT PGUSER PGDATABASE PGSERVICE PGSSLMODE
"$@"
