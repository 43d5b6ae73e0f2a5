#!/usr/bin/env bash
# The demo: on a fresh machine, installs what it needs, builds, lays out a product folder and
# runs the whole job on it. Nothing to configure.
#
# The demo's three product services are stand-ins: systemd units of a mock service manager on a
# private D-Bus bus (the same stand-in that the service tests use), not real daemons.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target toverak make-mdb >/dev/null

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/product" "$demo/backups" "$demo/bus"
cp build/release/toverak "$demo/product/"

echo "== The live database: $demo/live.db (SQLite, older contents)"
sqlite3 "$demo/live.db" < testing/fixtures/live_schema_sqlite.sql
sqlite3 "$demo/live.db" < testing/fixtures/live_older_rows.sql

echo "== The product's own file: $demo/product/Narvel.mdb"
cat > "$demo/narvel.json" <<JSON
{"tables": [{"name": "Settings_Console",
  "columns": [{"name": "SqlDbSetupOk", "type": "yesno"},
              {"name": "DbConnStringSql", "type": "text", "size": 255},
              {"name": "ProgVersion", "type": "text", "size": 50}],
  "rows": [[true, "Driver={SQLite3};Database=$demo/live.db", "5.2.0"]]}]}
JSON
build/release/make-mdb "$demo/narvel.json" "$demo/product/Narvel.mdb"

backup="$demo/backups/NarvelBackup_$(date +%F).mdb"
echo "== Today's backup: $backup (newer contents)"
build/release/make-mdb testing/fixtures/narvel_backup.json "$backup"

echo "== The product's services (stand-ins on a private bus)"
/usr/bin/python3 testing/systemd_standin.py serve "$demo/bus" "Narvel Discovery Agent=active" \
  "Narvel Poller=active" "Narvel Server=active" > "$demo/bus/address" &
standin=$!
trap 'kill $standin 2>/dev/null; wait $standin 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q DBUS_SYSTEM_BUS_ADDRESS "$demo/bus/address" 2>/dev/null && break
  sleep 0.1
done
grep -q DBUS_SYSTEM_BUS_ADDRESS "$demo/bus/address" || { echo "the stand-in did not start" >&2; exit 1; }
export "$(cat "$demo/bus/address")"

tables="ATR_Nodes ATR_NodeGroups ATR_Users Services Settings MibObjects TrapEvents EventActions
DiscAgt ScanRange CustomMenus SecProfiles ATR_Log"
count_rows() {
  for table in $tables; do
    printf '%s=%s ' "$table" "$(sqlite3 "$demo/live.db" "SELECT count(*) FROM $table")"
  done
}
before=$(count_rows)

echo "== Running: $demo/product/toverak $demo/backups/NarvelBackup_xxxx-xx-xx.mdb"
status=0
"$demo/product/toverak" "$demo/backups/NarvelBackup_xxxx-xx-xx.mdb" || status=$?
echo "== Exit status: $status"
echo "== The run log, $demo/product/Toverak.log:"
tr -d '\r' < "$demo/product/Toverak.log"

after=$(count_rows)
echo "== Live rows, table by table (before -> after):"
for table in $tables; do
  b=$(tr ' ' '\n' <<<"$before" | grep "^$table=" | cut -d= -f2)
  a=$(tr ' ' '\n' <<<"$after" | grep "^$table=" | cut -d= -f2)
  printf '  %-15s %3s -> %3s\n' "$table" "$b" "$a"
done
echo "== Some restored values:"
sqlite3 -header "$demo/live.db" "SELECT node_id, name, added, notes FROM ATR_Nodes; \
  SELECT ProgVersion, BackupPath, InstallNote FROM Settings; \
  SELECT rowid, logged_at, message FROM ATR_Log;"
echo "== The services afterwards:"
for service in "Narvel Server" "Narvel Poller" "Narvel Discovery Agent"; do
  printf '  %-24s %s\n' "$service" "$(/usr/bin/python3 testing/systemd_standin.py state "$service")"
done
exit "$status"
