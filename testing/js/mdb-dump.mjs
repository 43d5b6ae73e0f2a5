// node mdb-dump.mjs FILE.mdb: prints every user table of an Access file as JSON, read by the
// mdb-reader package, to cross-check the files that the test writer makes:
//   {"tables": [{"name": ..., "columns": [{"name": ..., "type": ..., "size": ...,
//                                         "precision": ..., "scale": ... (decimal only)}],
//                "rows": [[value, ...], ...]}]}
// Values keep what the reader decoded: null, booleans, numbers, texts (currency as its decimal
// text, GUIDs as the reader spells them), dates as {"days": ...} since 30 December 1899 (to the
// millisecond, as the reader keeps them). A complex column (attachments, multiple values) is
// listed but its values are left null: they are keys into hidden tables, which the reader looks
// up and the test files do not have.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const kEpochDays = 25569; // 30 December 1899 to 1 January 1970
const kDayMilliseconds = 86400000;

function encode(value) {
  if (value instanceof Date) return { days: value.getTime() / kDayMilliseconds + kEpochDays };
  if (typeof value === "bigint") return value.toString();
  return value;
}

const reader = new MDBReader(readFileSync(process.argv[2]));
const tables = reader.getTableNames().map((name) => {
  const table = reader.getTable(name);
  const columns = table.getColumns();
  const readable = columns.filter((column) => column.type !== "complex").map(({ name }) => name);
  const rows = table
    .getData({ columns: readable })
    .map((row) => columns.map((column) => encode(row[column.name] ?? null)));
  return {
    name,
    columns: columns.map(({ name, type, size, precision, scale }) => ({
      name,
      type,
      size,
      precision,
      scale,
    })),
    rows,
  };
});
process.stdout.write(JSON.stringify({ tables }));
