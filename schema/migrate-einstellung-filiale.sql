-- Moves the settings table of a branch server made by an earlier postgresql.sql, keyed by the
-- setting alone, to the shape that names the branch: every row gets the branch number given here,
-- and the key becomes (filiale, schluessel). One transaction; on a table that has the new shape
-- already it changes nothing. Run as a superuser (or the table's owner) in the branch database:
--   psql -d filiale -v filiale=42 -f migrate-einstellung-filiale.sql
-- A branch number outside 1 to 32767 is refused (psql ends with exit code 3) and changes nothing.
-- Workstations of an older ordovant cannot write the new table: update them together.

\set ON_ERROR_STOP on
\if :{?filiale}
\else
DO $$ BEGIN RAISE EXCEPTION 'give the branch number: psql -v filiale=42 ...'; END $$;
\endif

BEGIN;

SELECT set_config('ordovant.migration_filiale', :'filiale', true) AS migration_filiale \gset

DO $$
DECLARE
    branch integer := current_setting('ordovant.migration_filiale')::integer;
    key_name name;
BEGIN
    -- 0 and the negative numbers name no branch; the program takes 1 to 32767 only.
    IF branch NOT BETWEEN 1 AND 32767 THEN
        RAISE EXCEPTION 'filiale % is no branch number: give one from 1 to 32767', branch;
    END IF;
    IF EXISTS (SELECT FROM information_schema.columns
               WHERE table_schema = current_schema() AND table_name = 'einstellung'
                 AND column_name = 'filiale') THEN
        RAISE NOTICE 'einstellung has the column filiale already; nothing to do';
        RETURN;
    END IF;
    -- Others wait instead of writing a row without its branch meanwhile.
    LOCK TABLE einstellung IN ACCESS EXCLUSIVE MODE;
    ALTER TABLE einstellung ADD COLUMN filiale integer;
    UPDATE einstellung SET filiale = branch;
    ALTER TABLE einstellung ALTER COLUMN filiale SET NOT NULL;
    SELECT conname INTO key_name FROM pg_constraint
    WHERE conrelid = 'einstellung'::regclass AND contype = 'p';
    IF key_name IS NOT NULL THEN
        EXECUTE format('ALTER TABLE einstellung DROP CONSTRAINT %I', key_name);
    END IF;
    ALTER TABLE einstellung ADD PRIMARY KEY (filiale, schluessel);
    RAISE NOTICE 'einstellung: % rows now belong to branch %',
        (SELECT count(*) FROM einstellung), branch;
END
$$;

COMMIT;
