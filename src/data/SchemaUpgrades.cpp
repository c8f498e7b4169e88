#include "data/SchemaUpgrades.h"

#include "credentials/PasswordHash.h"

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

// Version 2: passwords stored as hashes, never as typed; the plain texts of older files are replaced by
// their hashes. Wrong passwords are counted per typed person number, whether a person has it or not,
// so that every terminal refuses a number being guessed at.
static const char* const kVersion2Sqlite = R"SQL(
CREATE TABLE tblLoginFailures (
    EmployeeNo TEXT NOT NULL COLLATE NOCASE,
    Failures   INTEGER NOT NULL,
    Since      TEXT NOT NULL
);
CREATE UNIQUE INDEX idxLoginFailuresNo ON tblLoginFailures (EmployeeNo);
)SQL";

static const char* const kVersion2Postgres = R"SQL(
CREATE TABLE "tblLoginFailures" (
    "EmployeeNo" text COLLATE "tallyclock_nocase" NOT NULL,
    "Failures"   integer NOT NULL,
    "Since"      timestamptz NOT NULL
);
CREATE UNIQUE INDEX "idxLoginFailuresNo" ON "tblLoginFailures" ("EmployeeNo");
)SQL";

const std::vector<SchemaUpgrade>& steps() {
    static const std::vector<SchemaUpgrade> all = {
        {1, kVersion1Sqlite, kVersion1Postgres},
        {2, kVersion2Sqlite, kVersion2Postgres, &PasswordHash::hashStoredPlainTexts},
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
