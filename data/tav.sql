-- The template database tav.mdb: every new data file starts as a copy of it.
-- phone: one row per occupied slot; rows are read back in rowid order, and an id may repeat.
CREATE TABLE phone (
  id INTEGER,
  phone TEXT
);
-- pcong: the settings; only the first row counts. A save inserts it when the table is empty.
CREATE TABLE pcong (
  time INTEGER,
  rec INTEGER
);
