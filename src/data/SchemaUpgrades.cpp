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

// Version 4: the record and who may change it.
// - A record's identity is never given again: SQLite hands a freed rowid to the next insert unless the
//   key is AUTOINCREMENT, so the table is rebuilt with one, keeping every RecordId and the order; its
//   counter starts past every identity the audit trail names, deleted records' included.
// - The audit trail refuses an insert that names an identity it holds: SQLite fires no delete
//   trigger when INSERT OR REPLACE takes a row's place.
// - Audit rows say which server role made the change and from which address; on SQLite, where the
//   program writes every row, both stay empty. Claimed marks Who and Terminal as the program's word
//   rather than what the server saw.
// - On PostgreSQL the server writes the audit rows itself, in triggers that run as the schema's
//   owner, whoever changes records or persons and however; the program only passes its claim of
//   who acts (tallyclock.who, tallyclock.terminal) in the transaction. Only the owner may write
//   tblAudit. Values are written as compact JSON with keys in code point order, as the program
//   writes them on SQLite. A punch locks its person's row through a function of the owner, so that
//   a role that may not change persons can still punch.
static const char* const kVersion4Sqlite = R"SQL(
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
)SQL";

static const char* const kVersion4Postgres = R"SQL(
ALTER TABLE "tblAudit" ADD COLUMN "ServerRole" text, ADD COLUMN "ClientAddress" text,
    ADD COLUMN "Claimed" integer NOT NULL DEFAULT 1;
CREATE FUNCTION "tallyclock_audit_not_replaced"() RETURNS trigger LANGUAGE plpgsql AS
$$BEGIN
    IF EXISTS (SELECT 1 FROM "tblAudit" WHERE "AuditId" = NEW."AuditId") THEN
        RAISE EXCEPTION 'The audit trail cannot be changed.';
    END IF;
    RETURN NEW;
END$$;
CREATE TRIGGER "trgAuditNotReplaced" BEFORE INSERT ON "tblAudit"
FOR EACH ROW EXECUTE FUNCTION "tallyclock_audit_not_replaced"();

CREATE FUNCTION "tallyclock_json_text"(value jsonb) RETURNS text LANGUAGE sql IMMUTABLE AS
$$SELECT CASE jsonb_typeof(value)
    WHEN 'object' THEN '{' || coalesce((SELECT string_agg(to_jsonb(key)::text || ':' ||
        "tallyclock_json_text"(v), ',' ORDER BY key COLLATE "C") FROM jsonb_each(value) AS e(key, v)), '') || '}'
    WHEN 'array' THEN '[' || coalesce((SELECT string_agg("tallyclock_json_text"(v), ',' ORDER BY n)
        FROM jsonb_array_elements(value) WITH ORDINALITY AS e(v, n)), '') || ']'
    ELSE value::text END$$;
CREATE FUNCTION "tallyclock_one_or_all"(rows jsonb) RETURNS jsonb LANGUAGE sql IMMUTABLE AS
$$SELECT CASE WHEN jsonb_array_length(rows) = 1 THEN rows -> 0 ELSE rows END$$;
-- Their values by field, not by the tables' row types, which would keep the tables from being dropped.
CREATE FUNCTION "tallyclock_record_json"(id bigint, number text, day date, time_in text, time_out text)
RETURNS jsonb LANGUAGE sql IMMUTABLE AS
$$SELECT jsonb_build_object('RecordId', id, 'EmployeeNo', number, 'LogDate', day, 'TimeIn', time_in,
    'TimeOut', time_out)$$;
CREATE FUNCTION "tallyclock_person_json"(number text, name text, department text, position_ text, is_admin integer)
RETURNS jsonb LANGUAGE sql IMMUTABLE AS
$$SELECT jsonb_build_object('EmployeeNo', number, 'Name', name, 'Department', department,
    'Position', position_, 'IsAdmin', is_admin)$$;

CREATE FUNCTION "tallyclock_audit_write"(what text, record_id bigint, number text, before jsonb, after jsonb)
RETURNS void LANGUAGE plpgsql AS
$$DECLARE
    who text := coalesce(current_setting('tallyclock.who', true), '');
    terminal text := coalesce(current_setting('tallyclock.terminal', true), '');
BEGIN
    INSERT INTO "tblAudit" ("ChangedAt", "Terminal", "Who", "What", "RecordId", "EmployeeNo",
        "ValuesBefore", "ValuesAfter", "ServerRole", "ClientAddress", "Claimed")
    VALUES (to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), terminal, who, what, record_id,
        number, coalesce("tallyclock_json_text"(before), ''), coalesce("tallyclock_json_text"(after), ''),
        session_user, coalesce(host(inet_client_addr()), 'local'),
        CASE WHEN who <> '' OR terminal <> '' THEN 1 ELSE 0 END);
END$$;

-- Records: one row per statement and person. A new record that no administrator marked is a punch
-- in; an open record closed without a mark is a punch out.
CREATE FUNCTION "tallyclock_audit_logins"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER AS
$$DECLARE
    r record;
BEGIN
    IF TG_OP = 'INSERT' THEN
        FOR r IN SELECT n."EmployeeNo" AS number, min(n."RecordId") AS id, bool_and(n."Corrected" = 0) AS punched,
                jsonb_agg("tallyclock_record_json"(n."RecordId", n."EmployeeNo", n."LogDate", n."TimeIn", n."TimeOut") ORDER BY n."RecordId") AS after
            FROM new_rows AS n GROUP BY n."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"(CASE WHEN r.punched THEN 'punch in' ELSE 'record added' END,
                r.id, r.number, NULL, "tallyclock_one_or_all"(r.after));
        END LOOP;
    ELSIF TG_OP = 'UPDATE' THEN
        FOR r IN SELECT o."EmployeeNo" AS number, min(o."RecordId") AS id,
                bool_and(o."TimeOut" IS NULL AND n."TimeOut" IS NOT NULL AND n."Corrected" = o."Corrected"
                    AND n."EmployeeNo" = o."EmployeeNo" AND n."TimeIn" IS NOT DISTINCT FROM o."TimeIn") AS punched,
                jsonb_agg("tallyclock_record_json"(o."RecordId", o."EmployeeNo", o."LogDate", o."TimeIn", o."TimeOut") ORDER BY o."RecordId") AS before,
                jsonb_agg("tallyclock_record_json"(n."RecordId", n."EmployeeNo", n."LogDate", n."TimeIn", n."TimeOut") ORDER BY o."RecordId") AS after
            FROM old_rows AS o JOIN new_rows AS n ON n."RecordId" = o."RecordId"
            GROUP BY o."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"(CASE WHEN r.punched THEN 'punch out' ELSE 'record corrected' END,
                r.id, r.number, "tallyclock_one_or_all"(r.before), "tallyclock_one_or_all"(r.after));
        END LOOP;
    ELSE
        -- Records that a person's deletion in this transaction has listed already get no row of their own.
        FOR r IN SELECT o."EmployeeNo" AS number, min(o."RecordId") AS id,
                jsonb_agg("tallyclock_record_json"(o."RecordId", o."EmployeeNo", o."LogDate", o."TimeIn", o."TimeOut") ORDER BY o."RecordId") AS before
            FROM old_rows AS o WHERE NOT EXISTS (SELECT 1 FROM "tblAudit" AS a
                WHERE a."ChangedAt" = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"')
                AND a.xmin = pg_current_xact_id()::xid AND a."What" = 'person deleted, with its records'
                AND a."ValuesBefore"::jsonb -> 'records' @> jsonb_build_array(jsonb_build_object('RecordId', o."RecordId")))
            GROUP BY o."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"('record deleted', r.id, r.number, "tallyclock_one_or_all"(r.before), NULL);
        END LOOP;
    END IF;
    RETURN NULL;
END$$;
CREATE TRIGGER "trgLoginsAuditedInsert" AFTER INSERT ON "tblLogins" REFERENCING NEW TABLE AS new_rows
FOR EACH STATEMENT EXECUTE FUNCTION "tallyclock_audit_logins"();
CREATE TRIGGER "trgLoginsAuditedUpdate" AFTER UPDATE ON "tblLogins"
REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows
FOR EACH STATEMENT EXECUTE FUNCTION "tallyclock_audit_logins"();
CREATE TRIGGER "trgLoginsAuditedDelete" AFTER DELETE ON "tblLogins" REFERENCING OLD TABLE AS old_rows
FOR EACH STATEMENT EXECUTE FUNCTION "tallyclock_audit_logins"();

-- Persons: one row each; a deleted person's row lists the records they still had, which the program
-- deletes next. The password never enters the trail.
CREATE FUNCTION "tallyclock_audit_persons"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER AS
$$BEGIN
    IF TG_OP = 'INSERT' THEN
        PERFORM "tallyclock_audit_write"('person added', NULL, NEW."EmployeeNo", NULL, "tallyclock_person_json"(NEW."EmployeeNo", NEW."Name", NEW."Department", NEW."Position", NEW."IsAdmin"));
    ELSIF TG_OP = 'UPDATE' THEN
        PERFORM "tallyclock_audit_write"('person updated', NULL, OLD."EmployeeNo", "tallyclock_person_json"(OLD."EmployeeNo", OLD."Name", OLD."Department", OLD."Position", OLD."IsAdmin"),
            "tallyclock_person_json"(NEW."EmployeeNo", NEW."Name", NEW."Department", NEW."Position", NEW."IsAdmin"));
    ELSE
        PERFORM "tallyclock_audit_write"('person deleted, with its records', NULL, OLD."EmployeeNo",
            jsonb_build_object('person', "tallyclock_person_json"(OLD."EmployeeNo", OLD."Name", OLD."Department", OLD."Position", OLD."IsAdmin"), 'records',
                coalesce((SELECT jsonb_agg("tallyclock_record_json"(l."RecordId", l."EmployeeNo", l."LogDate", l."TimeIn", l."TimeOut") ORDER BY l."RecordId") FROM "tblLogins" AS l
                    WHERE l."EmployeeNo" = OLD."EmployeeNo"), '[]'::jsonb)), NULL);
    END IF;
    RETURN NULL;
END$$;
CREATE TRIGGER "trgEmployeesAudited" AFTER INSERT OR UPDATE OR DELETE ON "tblEmployees"
FOR EACH ROW EXECUTE FUNCTION "tallyclock_audit_persons"();

-- A punch takes its person's row lock; SELECT ... FOR UPDATE would need a right to change persons.
CREATE FUNCTION "tallyclock_lock_person"(number text) RETURNS integer LANGUAGE sql SECURITY DEFINER AS
$$SELECT count(*)::integer FROM (SELECT 1 FROM "tblEmployees" WHERE "EmployeeNo" = number FOR UPDATE) AS locked$$;

-- A role that may not mark a record as corrected only punches: it may close an open record, never
-- change a closed one.
CREATE FUNCTION "tallyclock_open_records_only"() RETURNS trigger LANGUAGE plpgsql AS
$$BEGIN
    IF OLD."TimeOut" IS NOT NULL AND NOT has_column_privilege(TG_RELID, 'Corrected', 'UPDATE') THEN
        RAISE EXCEPTION 'permission denied to change a closed record' USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END$$;
CREATE TRIGGER "trgLoginsOpenOnly" BEFORE UPDATE ON "tblLogins"
FOR EACH ROW EXECUTE FUNCTION "tallyclock_open_records_only"();

-- The functions that run as the owner read and write only this schema's tables, never a table of the
-- same name that a session puts before them; the helpers are the owner's alone.
DO $$DECLARE
    f text;
BEGIN
    FOREACH f IN ARRAY ARRAY['"tallyclock_audit_logins"()', '"tallyclock_audit_persons"()',
            '"tallyclock_lock_person"(text)', '"tallyclock_audit_write"(text, bigint, text, jsonb, jsonb)',
            '"tallyclock_json_text"(jsonb)', '"tallyclock_one_or_all"(jsonb)',
            '"tallyclock_record_json"(bigint, text, date, text, text)',
            '"tallyclock_person_json"(text, text, text, text, integer)'] LOOP
        EXECUTE format('ALTER FUNCTION %s SET search_path = %I, pg_temp', f, current_schema());
    END LOOP;
END$$;
REVOKE ALL ON FUNCTION "tallyclock_audit_write"(text, bigint, text, jsonb, jsonb) FROM PUBLIC;
REVOKE ALL ON "tblAudit" FROM PUBLIC;
)SQL";

// The hashing comes from the credentials layer, handed down at start.
static QStringList hashStoredPasswords(const QStringList& stored) {
    return CredentialRules::installed().hashStoredPlainTexts(stored);
}

// Version 5: a person may carry a badge code, typed by a badge reader at a terminal. Codes are unique and
// compare exactly (a reader's "ab12" is not "AB12"); persons without a badge have none (Null), which
// the unique index leaves alone.
static const char* const kVersion5Sqlite = R"SQL(
ALTER TABLE tblEmployees ADD COLUMN BadgeCode TEXT;
CREATE UNIQUE INDEX idxEmployeesBadge ON tblEmployees (BadgeCode);
)SQL";

static const char* const kVersion5Postgres = R"SQL(
ALTER TABLE "tblEmployees" ADD COLUMN "BadgeCode" text COLLATE "C";
CREATE UNIQUE INDEX "idxEmployeesBadge" ON "tblEmployees" ("BadgeCode");
)SQL";

// Version 6: the workplace's pay rules, one row per rule, its value as text. A rule without a row
// is not set; every terminal and every clerk reads the same ones. On PostgreSQL the server writes the
// audit row of each rule changed, as it does for records and persons.
static const char* const kVersion6Sqlite = R"SQL(
CREATE TABLE tblPayRules (
    Rule  TEXT PRIMARY KEY,
    Value TEXT NOT NULL
);
)SQL";

static const char* const kVersion6Postgres = R"SQL(
CREATE TABLE "tblPayRules" (
    "Rule"  text PRIMARY KEY,
    "Value" text NOT NULL
);
CREATE FUNCTION "tallyclock_audit_pay_rules"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER AS
$$BEGIN
    PERFORM "tallyclock_audit_write"('pay rules changed', NULL, NULL,
        CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE jsonb_build_object(OLD."Rule", OLD."Value") END,
        CASE WHEN TG_OP = 'DELETE' THEN NULL ELSE jsonb_build_object(NEW."Rule", NEW."Value") END);
    RETURN NULL;
END$$;
DO $$BEGIN
    EXECUTE format('ALTER FUNCTION "tallyclock_audit_pay_rules"() SET search_path = %I, pg_temp',
                   current_schema());
END$$;
CREATE TRIGGER "trgPayRulesAudited" AFTER INSERT OR UPDATE OR DELETE ON "tblPayRules"
FOR EACH ROW EXECUTE FUNCTION "tallyclock_audit_pay_rules"();
)SQL";

// Version 7: terminals that keep punching while the server is away deliver those punches later, each
// with the terminal's id and its sequence number there; the receipt, written in the punch's own
// transaction, makes a second delivery of the same punch store nothing. A punch the rules refuse on
// arrival is kept as a record with the reason it is to be corrected, and out of the punches' own
// reading (Refused) until an administrator corrects it; a punch taken on a terminal whose clock was
// off carries the reason too. The embedded file gets the same columns and table; only a server
// receives deliveries.
static const char* const kVersion7Sqlite = R"SQL(
ALTER TABLE tblLogins ADD COLUMN ToCorrect TEXT;
ALTER TABLE tblLogins ADD COLUMN Refused INTEGER NOT NULL DEFAULT 0;
CREATE TABLE tblDeliveries (
    TerminalId  TEXT NOT NULL,
    Sequence    INTEGER NOT NULL,
    DeliveredAt TEXT NOT NULL,
    PRIMARY KEY (TerminalId, Sequence)
);
)SQL";

static const char* const kVersion7Postgres = R"SQL(
ALTER TABLE "tblLogins" ADD COLUMN "ToCorrect" text;
ALTER TABLE "tblLogins" ADD COLUMN "Refused" integer NOT NULL DEFAULT 0;
CREATE TABLE "tblDeliveries" (
    "TerminalId"  text NOT NULL,
    "Sequence"    bigint NOT NULL,
    "DeliveredAt" timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY ("TerminalId", "Sequence")
);

-- What the audit rows of records say, now with the reason a record is to be corrected.
CREATE FUNCTION "tallyclock_marked_json"(record jsonb, to_correct text) RETURNS jsonb LANGUAGE sql IMMUTABLE AS
$$SELECT CASE WHEN to_correct IS NULL THEN record ELSE record || jsonb_build_object('ToCorrect', to_correct) END$$;

-- As before, and a record kept or marked to correct on its delivery says so, with the reason.
CREATE OR REPLACE FUNCTION "tallyclock_audit_logins"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER AS
$$DECLARE
    r record;
BEGIN
    IF TG_OP = 'INSERT' THEN
        FOR r IN SELECT n."EmployeeNo" AS number, min(n."RecordId") AS id, bool_and(n."Corrected" = 0) AS punched,
                bool_or(n."Refused" = 1) AS refused,
                jsonb_agg("tallyclock_marked_json"("tallyclock_record_json"(n."RecordId", n."EmployeeNo", n."LogDate", n."TimeIn", n."TimeOut"), n."ToCorrect") ORDER BY n."RecordId") AS after
            FROM new_rows AS n GROUP BY n."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"(CASE WHEN r.refused THEN 'punch to correct' WHEN r.punched THEN 'punch in' ELSE 'record added' END,
                r.id, r.number, NULL, "tallyclock_one_or_all"(r.after));
        END LOOP;
    ELSIF TG_OP = 'UPDATE' THEN
        FOR r IN SELECT o."EmployeeNo" AS number, min(o."RecordId") AS id,
                bool_and(o."TimeOut" IS NULL AND n."TimeOut" IS NOT NULL AND n."Corrected" = o."Corrected"
                    AND n."EmployeeNo" = o."EmployeeNo" AND n."TimeIn" IS NOT DISTINCT FROM o."TimeIn") AS punched,
                bool_and(n."ToCorrect" IS NOT NULL AND n."ToCorrect" IS DISTINCT FROM o."ToCorrect"
                    AND (n."EmployeeNo", n."LogDate", n."TimeIn", n."TimeOut", n."Corrected") IS NOT DISTINCT FROM
                        (o."EmployeeNo", o."LogDate", o."TimeIn", o."TimeOut", o."Corrected")) AS marked,
                jsonb_agg("tallyclock_record_json"(o."RecordId", o."EmployeeNo", o."LogDate", o."TimeIn", o."TimeOut") ORDER BY o."RecordId") AS before,
                jsonb_agg("tallyclock_marked_json"("tallyclock_record_json"(n."RecordId", n."EmployeeNo", n."LogDate", n."TimeIn", n."TimeOut"), n."ToCorrect") ORDER BY o."RecordId") AS after
            FROM old_rows AS o JOIN new_rows AS n ON n."RecordId" = o."RecordId"
            GROUP BY o."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"(CASE WHEN r.marked THEN 'punch to correct' WHEN r.punched THEN 'punch out' ELSE 'record corrected' END,
                r.id, r.number, "tallyclock_one_or_all"(r.before), "tallyclock_one_or_all"(r.after));
        END LOOP;
    ELSE
        FOR r IN SELECT o."EmployeeNo" AS number, min(o."RecordId") AS id,
                jsonb_agg("tallyclock_record_json"(o."RecordId", o."EmployeeNo", o."LogDate", o."TimeIn", o."TimeOut") ORDER BY o."RecordId") AS before
            FROM old_rows AS o WHERE NOT EXISTS (SELECT 1 FROM "tblAudit" AS a
                WHERE a."ChangedAt" = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"')
                AND a.xmin = pg_current_xact_id()::xid AND a."What" = 'person deleted, with its records'
                AND a."ValuesBefore"::jsonb -> 'records' @> jsonb_build_array(jsonb_build_object('RecordId', o."RecordId")))
            GROUP BY o."EmployeeNo" ORDER BY 2 LOOP
            PERFORM "tallyclock_audit_write"('record deleted', r.id, r.number, "tallyclock_one_or_all"(r.before), NULL);
        END LOOP;
    END IF;
    RETURN NULL;
END$$;

-- A terminal may punch and nothing else; what a delivery needs beyond a punch runs as the owner, and
-- only for the punch whose receipt this very transaction wrote.
CREATE FUNCTION "tallyclock_receipt_now"(terminal text, seq bigint) RETURNS void LANGUAGE plpgsql AS
$$BEGIN
    IF NOT EXISTS (SELECT 1 FROM "tblDeliveries" WHERE "TerminalId" = terminal AND "Sequence" = seq
            AND xmin = pg_current_xact_id()::xid) THEN
        RAISE EXCEPTION 'permission denied: no delivery of this punch in this transaction'
            USING ERRCODE = 'insufficient_privilege';
    END IF;
END$$;

-- A delivered punch the rules refused, kept where an administrator sees it: one side's time only.
CREATE FUNCTION "tallyclock_keep_refused"(terminal text, seq bigint, number text, day date, time_in text,
    time_out text, reason text) RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER AS
$$DECLARE
    id bigint;
BEGIN
    PERFORM "tallyclock_receipt_now"(terminal, seq);
    IF coalesce(reason, '') = '' OR (coalesce(time_in, '') = '') = (coalesce(time_out, '') = '') THEN
        RAISE EXCEPTION 'a punch kept to correct needs its reason and one time' USING ERRCODE = 'invalid_parameter_value';
    END IF;
    INSERT INTO "tblLogins" ("EmployeeNo", "LogDate", "TimeIn", "TimeOut", "ToCorrect", "Refused")
    VALUES (number, day, coalesce(time_in, ''), coalesce(time_out, ''), reason, 1) RETURNING "RecordId" INTO id;
    RETURN id;
END$$;

-- A delivered punch stored as punches are, listed to correct: only a record this transaction wrote.
CREATE FUNCTION "tallyclock_mark_to_correct"(terminal text, seq bigint, record_id bigint, reason text)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER AS
$$BEGIN
    PERFORM "tallyclock_receipt_now"(terminal, seq);
    IF coalesce(reason, '') = '' THEN
        RAISE EXCEPTION 'a record to correct needs its reason' USING ERRCODE = 'invalid_parameter_value';
    END IF;
    UPDATE "tblLogins" SET "ToCorrect" = reason WHERE "RecordId" = record_id AND xmin = pg_current_xact_id()::xid;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'permission denied: record % was not written in this transaction', record_id
            USING ERRCODE = 'insufficient_privilege';
    END IF;
END$$;

-- A terminal whose clock is off the server's by more than the tolerance says so in the trail.
CREATE FUNCTION "tallyclock_note_clock_off"(terminal text, off_seconds bigint) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER AS
$$BEGIN
    IF abs(off_seconds) <= 120 OR coalesce(terminal, '') = '' THEN
        RAISE EXCEPTION 'a clock within the tolerance is not noted' USING ERRCODE = 'invalid_parameter_value';
    END IF;
    PERFORM "tallyclock_audit_write"('terminal clock off', NULL, NULL, NULL,
        jsonb_build_object('TerminalId', terminal, 'OffBySeconds', off_seconds));
END$$;

DO $$DECLARE
    f text;
BEGIN
    FOREACH f IN ARRAY ARRAY['"tallyclock_audit_logins"()', '"tallyclock_marked_json"(jsonb, text)',
            '"tallyclock_receipt_now"(text, bigint)',
            '"tallyclock_keep_refused"(text, bigint, text, date, text, text, text)',
            '"tallyclock_mark_to_correct"(text, bigint, bigint, text)',
            '"tallyclock_note_clock_off"(text, bigint)'] LOOP
        EXECUTE format('ALTER FUNCTION %s SET search_path = %I, pg_temp', f, current_schema());
    END LOOP;
END$$;
REVOKE ALL ON FUNCTION "tallyclock_keep_refused"(text, bigint, text, date, text, text, text),
    "tallyclock_mark_to_correct"(text, bigint, bigint, text), "tallyclock_note_clock_off"(text, bigint),
    "tallyclock_receipt_now"(text, bigint), "tallyclock_marked_json"(jsonb, text) FROM PUBLIC;
REVOKE ALL ON "tblDeliveries" FROM PUBLIC;
)SQL";

// Version 8: the small functions the server's audit triggers call for every change of a record or a
// person are written in PL/pgSQL, whose plans the server keeps for the session; as SQL functions that
// pin their search_path they were parsed and planned anew at each call, most of the cost of a punch.
// The texts they make are the same, and their search_path stays pinned to this schema. The file has
// nothing of the kind: its step changes nothing.
static const char* const kVersion8Sqlite = "";

static const char* const kVersion8Postgres = R"SQL(
CREATE OR REPLACE FUNCTION "tallyclock_json_text"(value jsonb) RETURNS text LANGUAGE plpgsql IMMUTABLE AS
$$BEGIN
    CASE jsonb_typeof(value)
    WHEN 'object' THEN
        RETURN '{' || coalesce((SELECT string_agg(to_jsonb(e.key)::text || ':' || CASE WHEN jsonb_typeof(e.v) IN ('object', 'array')
            THEN "tallyclock_json_text"(e.v) ELSE e.v::text END, ',' ORDER BY e.key COLLATE "C") FROM jsonb_each(value) AS e(key, v)), '') || '}';
    WHEN 'array' THEN
        RETURN '[' || coalesce((SELECT string_agg(CASE WHEN jsonb_typeof(e.v) IN ('object', 'array')
            THEN "tallyclock_json_text"(e.v) ELSE e.v::text END, ',' ORDER BY e.n) FROM jsonb_array_elements(value) WITH ORDINALITY AS e(v, n)), '') || ']';
    ELSE
        RETURN value::text;
    END CASE;
END$$;
CREATE OR REPLACE FUNCTION "tallyclock_one_or_all"(rows jsonb) RETURNS jsonb LANGUAGE plpgsql IMMUTABLE AS
$$BEGIN
    RETURN CASE WHEN jsonb_array_length(rows) = 1 THEN rows -> 0 ELSE rows END;
END$$;
CREATE OR REPLACE FUNCTION "tallyclock_record_json"(id bigint, number text, day date, time_in text, time_out text)
RETURNS jsonb LANGUAGE plpgsql IMMUTABLE AS
$$BEGIN
    RETURN jsonb_build_object('RecordId', id, 'EmployeeNo', number, 'LogDate', day, 'TimeIn', time_in, 'TimeOut', time_out);
END$$;
CREATE OR REPLACE FUNCTION "tallyclock_person_json"(number text, name text, department text, position_ text, is_admin integer)
RETURNS jsonb LANGUAGE plpgsql IMMUTABLE AS
$$BEGIN
    RETURN jsonb_build_object('EmployeeNo', number, 'Name', name, 'Department', department, 'Position', position_,
        'IsAdmin', is_admin);
END$$;
CREATE OR REPLACE FUNCTION "tallyclock_marked_json"(record jsonb, to_correct text) RETURNS jsonb LANGUAGE plpgsql IMMUTABLE AS
$$BEGIN
    RETURN CASE WHEN to_correct IS NULL THEN record ELSE record || jsonb_build_object('ToCorrect', to_correct) END;
END$$;
DO $$DECLARE
    f text;
BEGIN
    FOREACH f IN ARRAY ARRAY['"tallyclock_json_text"(jsonb)', '"tallyclock_one_or_all"(jsonb)',
            '"tallyclock_record_json"(bigint, text, date, text, text)',
            '"tallyclock_person_json"(text, text, text, text, integer)', '"tallyclock_marked_json"(jsonb, text)'] LOOP
        EXECUTE format('ALTER FUNCTION %s SET search_path = %I, pg_temp', f, current_schema());
    END LOOP;
END$$;
)SQL";

const std::vector<SchemaUpgrade>& steps() {
    static const std::vector<SchemaUpgrade> all = {
        {1, kVersion1Sqlite, kVersion1Postgres},
        {2, kVersion2Sqlite, kVersion2Postgres},
        {3, kVersion3Sqlite, kVersion3Postgres, &hashStoredPasswords},
        {4, kVersion4Sqlite, kVersion4Postgres},
        {5, kVersion5Sqlite, kVersion5Postgres},
        {6, kVersion6Sqlite, kVersion6Postgres},
        {7, kVersion7Sqlite, kVersion7Postgres},
        {8, kVersion8Sqlite, kVersion8Postgres},
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

const std::vector<NamedTrigger>& sqliteAuditTriggers() {
    // Read from the steps themselves, so that the check at open never differs from what they make.
    static const std::vector<NamedTrigger> triggers = [] {
        std::vector<NamedTrigger> found;
        for (const SchemaUpgrade& step : steps()) {
            const QString sql = QString::fromLatin1(step.sqlite);
            qsizetype at = 0;
            while ((at = sql.indexOf(QLatin1String("CREATE TRIGGER "), at)) >= 0) {
                const qsizetype end = sql.indexOf(QLatin1String("END;"), at) + 3;
                const QString statement = sql.mid(at, end - at);
                if (statement.contains(QLatin1String(" ON tblAudit")))
                    found.push_back({statement.section(QLatin1Char(' '), 2, 2), statement});
                at = end;
            }
        }
        return found;
    }();
    return triggers;
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
