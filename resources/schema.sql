-- The empty attendance database that the program copies into place on its first run: the schema the
-- steps in src/data/SchemaUpgrades.cpp make, statement for statement; a test keeps them equal.
-- Letter case of person numbers is ignored through SQLite's NOCASE here (ASCII) and, in the
-- program's own statements, through its Unicode collation.
PRAGMA page_size = 4096;
PRAGMA journal_mode = DELETE;
-- The schema version: the program upgrades older files at open and refuses newer ones.
PRAGMA user_version = 8;

CREATE TABLE tblEmployees (
    EmployeeNo TEXT NOT NULL COLLATE NOCASE,
    Password   TEXT,
    Name       TEXT,
    Department TEXT,
    Position   TEXT,
    IsAdmin    INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX idxEmployeesNo ON tblEmployees (EmployeeNo);
CREATE INDEX idxEmployeesName ON tblEmployees (Name);

CREATE TABLE tblLogins (
    EmployeeNo TEXT COLLATE NOCASE,
    LogDate    DATE,
    TimeIn     TEXT,
    TimeOut    TEXT
);
CREATE INDEX idxLoginsEmployeeNo ON tblLogins (EmployeeNo);
CREATE INDEX idxLoginsLogDate ON tblLogins (LogDate);

-- Every record with its person's fields; records whose person is gone are still listed.
CREATE VIEW qryLogins AS
SELECT tblLogins.EmployeeNo AS EmployeeNo,
       tblEmployees.Name AS Name,
       tblEmployees.Department AS Department,
       tblEmployees.Position AS Position,
       tblLogins.LogDate AS LogDate,
       tblLogins.TimeIn AS TimeIn,
       tblLogins.TimeOut AS TimeOut
FROM tblLogins LEFT JOIN tblEmployees ON tblEmployees.EmployeeNo = tblLogins.EmployeeNo;

-- Version 2: records with an explicit identity and a correction mark; the audit trail, which the
-- file itself keeps from being changed.
DROP VIEW qryLogins;
CREATE TABLE tblLoginsWithId (
    RecordId   INTEGER PRIMARY KEY,
    EmployeeNo TEXT COLLATE NOCASE,
    LogDate    DATE,
    TimeIn     TEXT,
    TimeOut    TEXT,
    Corrected  INTEGER NOT NULL DEFAULT 0
);
INSERT INTO tblLoginsWithId (RecordId, EmployeeNo, LogDate, TimeIn, TimeOut)
SELECT rowid, EmployeeNo, LogDate, TimeIn, TimeOut FROM tblLogins;
DROP TABLE tblLogins;
ALTER TABLE tblLoginsWithId RENAME TO tblLogins;
CREATE INDEX idxLoginsEmployeeNo ON tblLogins (EmployeeNo);
CREATE INDEX idxLoginsLogDate ON tblLogins (LogDate);
CREATE VIEW qryLogins AS
SELECT tblLogins.EmployeeNo AS EmployeeNo,
       tblEmployees.Name AS Name,
       tblEmployees.Department AS Department,
       tblEmployees.Position AS Position,
       tblLogins.LogDate AS LogDate,
       tblLogins.TimeIn AS TimeIn,
       tblLogins.TimeOut AS TimeOut
FROM tblLogins LEFT JOIN tblEmployees ON tblEmployees.EmployeeNo = tblLogins.EmployeeNo;
CREATE TABLE tblAudit (
    AuditId      INTEGER PRIMARY KEY,
    ChangedAt    TEXT NOT NULL,
    Terminal     TEXT NOT NULL,
    Who          TEXT NOT NULL,
    What         TEXT NOT NULL,
    RecordId     INTEGER,
    EmployeeNo   TEXT COLLATE NOCASE,
    ValuesBefore TEXT,
    ValuesAfter  TEXT
);
CREATE INDEX idxAuditChangedAt ON tblAudit (ChangedAt);
CREATE TRIGGER trgAuditKept BEFORE UPDATE ON tblAudit
BEGIN SELECT RAISE(ABORT, 'The audit trail cannot be changed.'); END;
CREATE TRIGGER trgAuditNotDeleted BEFORE DELETE ON tblAudit
BEGIN SELECT RAISE(ABORT, 'The audit trail cannot be changed.'); END;

-- Version 3: passwords are stored as Argon2id hashes of the case-folded password. Wrong passwords
-- are counted per typed person number, whether a person has it or not; Since is a UTC time text.
CREATE TABLE tblLoginFailures (
    EmployeeNo TEXT NOT NULL COLLATE NOCASE,
    Failures   INTEGER NOT NULL,
    Since      TEXT NOT NULL
);
CREATE UNIQUE INDEX idxLoginFailuresNo ON tblLoginFailures (EmployeeNo);

-- Version 4: record identities never given again (AUTOINCREMENT, counting past every identity the
-- trail names); the trail refuses an insert naming a row it holds; who changed it, as the server saw it.
DROP VIEW qryLogins;
CREATE TABLE tblLoginsKept (
    RecordId   INTEGER PRIMARY KEY AUTOINCREMENT,
    EmployeeNo TEXT COLLATE NOCASE,
    LogDate    DATE,
    TimeIn     TEXT,
    TimeOut    TEXT,
    Corrected  INTEGER NOT NULL DEFAULT 0
);
INSERT INTO tblLoginsKept (RecordId, EmployeeNo, LogDate, TimeIn, TimeOut, Corrected)
SELECT RecordId, EmployeeNo, LogDate, TimeIn, TimeOut, Corrected FROM tblLogins ORDER BY RecordId;
INSERT INTO sqlite_sequence (name, seq)
SELECT 'tblLoginsKept', 0 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'tblLoginsKept');
UPDATE sqlite_sequence SET seq = max(seq,
    coalesce((SELECT max(RecordId) FROM tblAudit), 0),
    coalesce((SELECT max(t.value) FROM tblAudit AS a, json_tree(CASE WHEN json_valid(a.ValuesBefore)
              THEN a.ValuesBefore ELSE '{}' END) AS t WHERE t.key = 'RecordId'), 0),
    coalesce((SELECT max(t.value) FROM tblAudit AS a, json_tree(CASE WHEN json_valid(a.ValuesAfter)
              THEN a.ValuesAfter ELSE '{}' END) AS t WHERE t.key = 'RecordId'), 0))
WHERE name = 'tblLoginsKept';
DROP TABLE tblLogins;
ALTER TABLE tblLoginsKept RENAME TO tblLogins;
CREATE INDEX idxLoginsEmployeeNo ON tblLogins (EmployeeNo);
CREATE INDEX idxLoginsLogDate ON tblLogins (LogDate);
CREATE VIEW qryLogins AS
SELECT tblLogins.EmployeeNo AS EmployeeNo,
       tblEmployees.Name AS Name,
       tblEmployees.Department AS Department,
       tblEmployees.Position AS Position,
       tblLogins.LogDate AS LogDate,
       tblLogins.TimeIn AS TimeIn,
       tblLogins.TimeOut AS TimeOut
FROM tblLogins LEFT JOIN tblEmployees ON tblEmployees.EmployeeNo = tblLogins.EmployeeNo;
ALTER TABLE tblAudit ADD COLUMN ServerRole TEXT;
ALTER TABLE tblAudit ADD COLUMN ClientAddress TEXT;
ALTER TABLE tblAudit ADD COLUMN Claimed INTEGER NOT NULL DEFAULT 1;
CREATE TRIGGER trgAuditNotReplaced BEFORE INSERT ON tblAudit
WHEN EXISTS (SELECT 1 FROM tblAudit WHERE AuditId = NEW.AuditId)
BEGIN SELECT RAISE(ABORT, 'The audit trail cannot be changed.'); END;

-- Version 5: a person's badge code, unique and compared exactly; Null for persons without a badge.
ALTER TABLE tblEmployees ADD COLUMN BadgeCode TEXT;
CREATE UNIQUE INDEX idxEmployeesBadge ON tblEmployees (BadgeCode);

-- Version 6: the workplace's pay rules, one row per rule, its value as text.
CREATE TABLE tblPayRules (
    Rule  TEXT PRIMARY KEY,
    Value TEXT NOT NULL
);

-- Version 7: punches that terminals took while the server was away are delivered later; a receipt per
-- terminal and sequence number stores each once. Refused or doubtful punches keep their reason.
ALTER TABLE tblLogins ADD COLUMN ToCorrect TEXT;
ALTER TABLE tblLogins ADD COLUMN Refused INTEGER NOT NULL DEFAULT 0;
CREATE TABLE tblDeliveries (
    TerminalId  TEXT NOT NULL,
    Sequence    INTEGER NOT NULL,
    DeliveredAt TEXT NOT NULL,
    PRIMARY KEY (TerminalId, Sequence)
);

-- Version 8 changes only the server's functions: the file stays as version 7 made it.
