-- A tandrel store of schema version 1 as SQLite held it, written by hand:
-- events without their raw numbers, no record of what each run read. One
-- meter, one run, data log 1 with two records, and one event.
PRAGMA application_id = 1416520818;
PRAGMA user_version = 1;
CREATE TABLE tandrel_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT INTO tandrel_meta VALUES ('application', 'tandrel'), ('schema_version', '1');
CREATE TABLE meters (
  meter_id INTEGER PRIMARY KEY,
  model TEXT NOT NULL,
  serial INTEGER NOT NULL,
  UNIQUE (model, serial));
CREATE TABLE runs (
  run_id INTEGER PRIMARY KEY,
  meter_id INTEGER NOT NULL REFERENCES meters,
  time TEXT NOT NULL,
  address TEXT NOT NULL,
  unit INTEGER NOT NULL,
  device_info TEXT NOT NULL);
CREATE INDEX runs_of_meter ON runs (meter_id, run_id);
CREATE TABLE layouts (
  layout_id INTEGER PRIMARY KEY,
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  columns TEXT NOT NULL,
  UNIQUE (meter_id, file_id, columns));
CREATE TABLE layout_columns (
  layout_id INTEGER NOT NULL REFERENCES layouts,
  position INTEGER NOT NULL,
  name TEXT NOT NULL,
  unit TEXT NOT NULL,
  decimals INTEGER NOT NULL,
  PRIMARY KEY (layout_id, position)) WITHOUT ROWID;
CREATE TABLE datalog_rows (
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  time TEXT NOT NULL,
  seq INTEGER NOT NULL,
  layout_id INTEGER NOT NULL REFERENCES layouts,
  trigger TEXT NOT NULL,
  vals TEXT NOT NULL,
  PRIMARY KEY (meter_id, file_id, time, seq)) WITHOUT ROWID;
CREATE TABLE event_rows (
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  time TEXT NOT NULL,
  seq INTEGER NOT NULL,
  event_no INTEGER NOT NULL,
  cause TEXT NOT NULL,
  point TEXT NOT NULL,
  state TEXT NOT NULL,
  effect TEXT NOT NULL,
  target TEXT NOT NULL,
  PRIMARY KEY (meter_id, file_id, time, seq)) WITHOUT ROWID;
CREATE VIEW datalog_values AS
SELECT m.serial, m.model, r.file_id, r.time, r.seq,
       c.name AS column_name, c.unit, v.value
  FROM datalog_rows r
  JOIN meters m ON m.meter_id = r.meter_id
  JOIN json_each(r.vals) v
  JOIN layout_columns c ON c.layout_id = r.layout_id AND c.position = v.key + 1;
CREATE VIEW event_records AS
SELECT m.serial, m.model, e.file_id, e.time, e.seq, e.event_no,
       e.cause, e.point, e.state, e.effect, e.target
  FROM event_rows e
  JOIN meters m ON m.meter_id = e.meter_id;

INSERT INTO meters VALUES (1, 'EM235', 1);
INSERT INTO runs VALUES (1, 1, '2026-12-04T00:00:00.000Z', '192.0.2.10:502', 1, '{"serial":1}');
INSERT INTO layouts VALUES (1, 1, 1, '[{"name":"V1","unit":"V","decimals":1},{"name":"V2","unit":"V","decimals":1},{"name":"V3","unit":"V","decimals":1}]');
INSERT INTO layout_columns VALUES (1, 1, 'V1', 'V', 1), (1, 2, 'V2', 'V', 1), (1, 3, 'V3', 'V', 1);
INSERT INTO datalog_rows VALUES
  (1, 1, '2026-12-05T00:00:00.000Z', 1, 1, 'SP', '[0.5,1.5,2.5]'),
  (1, 1, '2026-12-05T00:00:01.000Z', 2, 1, 'SP', '[1.5,2.5,3.5]');
INSERT INTO event_rows VALUES (1, 0, '2026-12-04T23:00:00.000Z', 9, 5, 'Power up', '', '', '', '');
