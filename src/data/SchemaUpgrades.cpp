#include "data/SchemaUpgrades.h"

#include "data/CredentialRules.h"

namespace SchemaUpgrades {

// Version 1: the tables the first program shipped (resources/schema.sql is its SQLite template).
// On PostgreSQL, person numbers compare without regard to letter case across Unicode in the server
// itself, through an ICU collation at its secondary strength; the unique index holds with it. The
// records carry an identity column there to keep the order of their inserts; SQLite has its rowid.
static const char* const kVersion1Sqlite = R"SQL(
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
CREATE VIEW qryLogins AS
SELECT tblLogins.EmployeeNo AS EmployeeNo,
       tblEmployees.Name AS Name,
       tblEmployees.Department AS Department,
       tblEmployees.Position AS Position,
       tblLogins.LogDate AS LogDate,
       tblLogins.TimeIn AS TimeIn,
       tblLogins.TimeOut AS TimeOut
FROM tblLogins LEFT JOIN tblEmployees ON tblEmployees.EmployeeNo = tblLogins.EmployeeNo;
)SQL";

static const char* const kVersion1Postgres = R"SQL(
CREATE TABLE "tblSchemaVersion" ("Version" integer NOT NULL);
CREATE UNIQUE INDEX "idxSchemaVersionOneRow" ON "tblSchemaVersion" ((true));
CREATE COLLATION "tallyclock_nocase" (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
CREATE TABLE "tblEmployees" (
    "EmployeeNo" text COLLATE "tallyclock_nocase" NOT NULL,
    "Password"   text,
    "Name"       text,
    "Department" text,
    "Position"   text,
    "IsAdmin"    integer NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX "idxEmployeesNo" ON "tblEmployees" ("EmployeeNo");
CREATE INDEX "idxEmployeesName" ON "tblEmployees" ("Name");
CREATE TABLE "tblLogins" (
    "RecordId"   bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "EmployeeNo" text COLLATE "tallyclock_nocase",
    "LogDate"    date,
    "TimeIn"     text,
    "TimeOut"    text
);
CREATE INDEX "idxLoginsEmployeeNo" ON "tblLogins" ("EmployeeNo");
CREATE INDEX "idxLoginsLogDate" ON "tblLogins" ("LogDate");
CREATE VIEW "qryLogins" AS
SELECT l."EmployeeNo", e."Name", e."Department", e."Position", l."LogDate", l."TimeIn", l."TimeOut"
FROM "tblLogins" AS l LEFT JOIN "tblEmployees" AS e ON e."EmployeeNo" = l."EmployeeNo";
)SQL";

// Version 2: records get a stable identity and a mark for the ones an administrator corrected (1)
// or added (2); every change to records or persons leaves a row in the audit trail, which nobody
// changes afterwards. SQLite's implicit rowid becomes the explicit RecordId (a rowid that is not an
// INTEGER PRIMARY KEY may be renumbered by VACUUM), which means rebuilding the table with its rows
// and their rowids; PostgreSQL has had the identity column from the start. A punch reads a person's
// latest record: on PostgreSQL the index on the number alone leaves every record of the person to
// fetch and sort, so it gives way to one on number and identity. SQLite's index on the number
// already lists each number's rows in rowid order.
static const char* const kVersion2Sqlite = R"SQL(
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
)SQL";

static const char* const kVersion2Postgres = R"SQL(
ALTER TABLE "tblLogins" ADD COLUMN "Corrected" integer NOT NULL DEFAULT 0;
DROP INDEX "idxLoginsEmployeeNo";
CREATE INDEX "idxLoginsEmployeeNoRecordId" ON "tblLogins" ("EmployeeNo", "RecordId");
CREATE TABLE "tblAudit" (
    "AuditId"      bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "ChangedAt"    text NOT NULL,
    "Terminal"     text NOT NULL,
    "Who"          text NOT NULL,
    "What"         text NOT NULL,
    "RecordId"     bigint,
    "EmployeeNo"   text COLLATE "tallyclock_nocase",
    "ValuesBefore" text,
    "ValuesAfter"  text
);
CREATE INDEX "idxAuditChangedAt" ON "tblAudit" ("ChangedAt");
CREATE FUNCTION "tallyclock_audit_kept"() RETURNS trigger LANGUAGE plpgsql AS
$$BEGIN RAISE EXCEPTION 'The audit trail cannot be changed.'; END$$;
CREATE TRIGGER "trgAuditKept" BEFORE UPDATE OR DELETE ON "tblAudit"
FOR EACH ROW EXECUTE FUNCTION "tallyclock_audit_kept"();
CREATE TRIGGER "trgAuditNotTruncated" BEFORE TRUNCATE ON "tblAudit"
FOR EACH STATEMENT EXECUTE FUNCTION "tallyclock_audit_kept"();
)SQL";

// Version 3: passwords stored as hashes, never as typed; the plain texts of older files are replaced by
// their hashes. Wrong passwords are counted per typed person number, whether a person has it or not,
// so that every terminal refuses a number being guessed at.
static const char* const kVersion3Sqlite = R"SQL(
CREATE TABLE tblLoginFailures (
    EmployeeNo TEXT NOT NULL COLLATE NOCASE,
    Failures   INTEGER NOT NULL,
    Since      TEXT NOT NULL
);
CREATE UNIQUE INDEX idxLoginFailuresNo ON tblLoginFailures (EmployeeNo);
)SQL";

static const char* const kVersion3Postgres = R"SQL(
CREATE TABLE "tblLoginFailures" (
    "EmployeeNo" text COLLATE "tallyclock_nocase" NOT NULL,
    "Failures"   integer NOT NULL,
    "Since"      timestamptz NOT NULL
);
CREATE UNIQUE INDEX "idxLoginFailuresNo" ON "tblLoginFailures" ("EmployeeNo");
)SQL";

// Version 4: terminals that keep punching while the server is away deliver those punches later, each
// with the terminal's id and its sequence number there; the receipt, written in the punch's own
// transaction, makes a second delivery of the same punch store nothing. A punch the rules refuse on
// arrival is kept as a record with the reason it is to be corrected, and out of the punches' own
// reading (Refused) until an administrator corrects it; a punch taken on a terminal whose clock was
// off carries the reason too. The embedded file gets the same columns and table; only a server
// receives deliveries.
static const char* const kVersion4Sqlite = R"SQL(
ALTER TABLE tblLogins ADD COLUMN ToCorrect TEXT;
ALTER TABLE tblLogins ADD COLUMN Refused INTEGER NOT NULL DEFAULT 0;
CREATE TABLE tblDeliveries (
    TerminalId  TEXT NOT NULL,
    Sequence    INTEGER NOT NULL,
    DeliveredAt TEXT NOT NULL,
    PRIMARY KEY (TerminalId, Sequence)
);
)SQL";

static const char* const kVersion4Postgres = R"SQL(
ALTER TABLE "tblLogins" ADD COLUMN "ToCorrect" text;
ALTER TABLE "tblLogins" ADD COLUMN "Refused" integer NOT NULL DEFAULT 0;
CREATE TABLE "tblDeliveries" (
    "TerminalId"  text NOT NULL,
    "Sequence"    bigint NOT NULL,
    "DeliveredAt" timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY ("TerminalId", "Sequence")
);
)SQL";

// The hashing comes from the credentials layer, handed down at start.
static QStringList hashStoredPasswords(const QStringList& stored) {
    return CredentialRules::installed().hashStoredPlainTexts(stored);
}

const std::vector<SchemaUpgrade>& steps() {
    static const std::vector<SchemaUpgrade> all = {
        {1, kVersion1Sqlite, kVersion1Postgres},
        {2, kVersion2Sqlite, kVersion2Postgres},
        {3, kVersion3Sqlite, kVersion3Postgres, &hashStoredPasswords},
        {4, kVersion4Sqlite, kVersion4Postgres},
    };
    return all;
}

int latestVersion() {
    return steps().back().version;
}

const std::vector<RequiredObject>& requiredObjects() {
    static const std::vector<RequiredObject> objects = {
        {"tblEmployees", false, {"EmployeeNo", "Password", "Name", "Department", "Position", "IsAdmin"}},
        {"tblLogins", false, {"EmployeeNo", "LogDate", "TimeIn", "TimeOut"}},
        {"qryLogins", true, {"EmployeeNo", "Name", "Department", "Position", "LogDate", "TimeIn", "TimeOut"}},
    };
    return objects;
}

QString newerThanProgram(const QString& database, int version) {
    return QStringLiteral(
               "The attendance database %1 has schema version %2, made by a newer Tallyclock Suite; "
               "this program knows versions up to %3. Install the newer program on this computer.")
        .arg(database)
        .arg(version)
        .arg(latestVersion());
}

} // namespace SchemaUpgrades
