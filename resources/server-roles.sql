-- The rights of the roles that Tallyclock Suite logs in as on a PostgreSQL server.
--
--   tallyclock_terminal  the punch clocks: may punch and nothing else
--   tallyclock_office    the computer where administrators work: persons, corrections, the audit trail
--
-- The tables belong to the role that made them (the owner; see README, "Several terminals"); that
-- role alone may write the audit trail (the server's own triggers write it as the owner) and
-- upgrade the tables. Run this file as the owner, on the attendance database, after the two roles
-- exist and after every upgrade of the program:
--
--   psql -d tallyclock -f server-roles.sql
--
-- It may be run again: every right is taken back first, then given.

REVOKE ALL ON "tblSchemaVersion", "tblEmployees", "tblLogins", "tblLoginFailures", "tblAudit", "qryLogins",
    "tblPayRules", "tblDeliveries" FROM PUBLIC, tallyclock_terminal, tallyclock_office;
REVOKE ALL ON FUNCTION "tallyclock_keep_refused"(text, bigint, text, date, text, text, text),
    "tallyclock_mark_to_correct"(text, bigint, bigint, text), "tallyclock_note_clock_off"(text, bigint)
    FROM PUBLIC, tallyclock_terminal, tallyclock_office;
DO $$BEGIN
    EXECUTE format('GRANT USAGE ON SCHEMA %I TO tallyclock_terminal, tallyclock_office', current_schema());
END$$;

-- A terminal reads the persons (the number and password hash to check a login, the admin flag for the
-- gate, name, department and position for today's list), opens a record (number, day and time in:
-- never a time out or a correction mark), closes open records (day and time out; a trigger refuses a
-- closed record to any role that may not mark corrections), and keeps the login failure counts.
GRANT SELECT ON "tblSchemaVersion", "tblEmployees", "qryLogins", "tblPayRules" TO tallyclock_terminal;
GRANT SELECT, INSERT ("EmployeeNo", "LogDate", "TimeIn"), UPDATE ("LogDate", "TimeOut") ON "tblLogins"
    TO tallyclock_terminal;
GRANT SELECT, INSERT, UPDATE, DELETE ON "tblLoginFailures" TO tallyclock_terminal;

-- Every computer on the server keeps a journal and delivers the punches it took while the server was
-- away: it writes and reads the receipts (never changes or removes one), keeps a punch the rules
-- refused as a record to correct, lists a punch taken with its clock off to correct, and notes that
-- clock in the trail. The three functions run as the owner and act only on the punch whose receipt
-- the same transaction wrote.
GRANT SELECT, INSERT ON "tblDeliveries" TO tallyclock_terminal, tallyclock_office;
GRANT EXECUTE ON FUNCTION "tallyclock_keep_refused"(text, bigint, text, date, text, text, text),
    "tallyclock_mark_to_correct"(text, bigint, bigint, text), "tallyclock_note_clock_off"(text, bigint)
    TO tallyclock_terminal, tallyclock_office;

-- The office does the rest: persons, records and their corrections, the pay rules, reading the audit
-- trail.
GRANT SELECT ON "tblSchemaVersion", "qryLogins", "tblAudit" TO tallyclock_office;
GRANT SELECT, INSERT, UPDATE, DELETE ON "tblEmployees", "tblLogins", "tblLoginFailures", "tblPayRules"
    TO tallyclock_office;
