#!/usr/bin/env bash
# The Tango server's test through a Tango database: MariaDB in a private data folder on a port of
# its own, the Tango schema loaded from Debian's tango-db, its DataBaseds on another port, all
# children of this test and gone at its end. Skips (status 77) where MariaDB or tango-db is not
# installed.
# Usage: database_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
databaseds=/usr/lib/tango/DataBaseds
schema=/usr/share/dbconfig-common/data/tango-db/install/mysql
for need in mariadbd mariadb-install-db mariadb tango_admin; do
  command -v "$need" >/dev/null || { echo "database test: no $need, skipped"; exit 77; }
done
[ -x "$databaseds" ] && [ -f "$schema" ] || { echo "database test: no tango-db, skipped"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
user=()
[ "$(id -u)" != 0 ] || user=(--user=root)

# MariaDB, its own folder, socket and port; nothing of the system's configuration.
sql_port=$(free_port)
mariadb-install-db --no-defaults --datadir="$work/data" "${user[@]}" --skip-test-db \
  --auth-root-authentication-method=normal >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
mariadbd --no-defaults --datadir="$work/data" --socket="$work/sql.sock" --port="$sql_port" --bind-address=127.0.0.1 \
  "${user[@]}" --pid-file="$work/sql.pid" --log-error="$work/sql.log" --skip-log-bin &
pids+=($!)
sql=(mariadb --no-defaults --socket="$work/sql.sock" -u root)
for _ in $(seq 100); do "${sql[@]}" -e 'select 1' >/dev/null 2>&1 && break; sleep 0.1; done
"${sql[@]}" -e "CREATE DATABASE tango; CREATE USER 'tango'@'127.0.0.1' IDENTIFIED BY 'tango';
  GRANT ALL ON tango.* TO 'tango'@'127.0.0.1';"
"${sql[@]}" tango <"$schema"

# The Tango database server on it.
export TANGO_HOST=127.0.0.1:$(free_port)
MYSQL_USER=tango MYSQL_PASSWORD=tango MYSQL_HOST=127.0.0.1:$sql_port MYSQL_DATABASE=tango \
  "$databaseds" 2 -ORBendPoint "giop:tcp:$TANGO_HOST" >"$work/databaseds.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do tango_admin --ping-database 1 >/dev/null 2>&1 && break; sleep 0.1; done
tango_admin --ping-database 1 || { cat "$work/databaseds.log"; exit 1; }

/usr/bin/python3 "$here/tango_test.py" --database "$build/COM-KESTRAVO-Tango" "$build/COM-KESTRAVO-Sim" \
  "$build/COM-KESTRAVO-Control" "$here/../../docs/tango.md"
