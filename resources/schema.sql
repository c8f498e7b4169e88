-- The empty attendance database that the program copies into place on its first run. The program
-- holds the same schema as its first version in src/data/SchemaUpgrades.cpp; a test keeps them equal.
-- Letter case of person numbers is ignored through SQLite's NOCASE here (ASCII) and, in the
-- program's own statements, through its Unicode collation.
PRAGMA page_size = 4096;
PRAGMA journal_mode = DELETE;
-- The schema version: the program upgrades older files at open and refuses newer ones.
PRAGMA user_version = 1;

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
