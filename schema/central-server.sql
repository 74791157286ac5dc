-- One PostgreSQL for the branches of a chain: each branch's workstations log in as a role of that
-- branch, a member of the group role ordovant_filiale that holds the grants, and row-level security
-- lets a role read only its branch's tasks and documents and read and write only its branch's
-- settings. The branch of a role comes from the table filialrolle, looked up with session_user, the
-- role that logged in: nothing a client sets (a session variable, host.ini's branch) chooses it.
--
-- Run once as a superuser in the central database, after postgresql.sql:
--   psql -d zentrale -f postgresql.sql -f central-server.sql
-- Then add each branch's role with `ordovant-db add-branch-role ROLE --filiale N ...` (or by hand:
-- CREATE ROLE ... LOGIN IN ROLE ordovant_filiale and a row in filialrolle) and set its password.
-- Running it again changes nothing.

BEGIN;

-- Which branch a login role belongs to; one branch per role.
CREATE TABLE IF NOT EXISTS filialrolle (
    rolle   name PRIMARY KEY,
    filiale integer NOT NULL
);
REVOKE ALL ON filialrolle FROM PUBLIC;

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ordovant_filiale') THEN
        CREATE ROLE ordovant_filiale NOLOGIN;
    END IF;
END
$$;

-- The branch of the role that logged in; NULL (no row is then visible) for a role without one.
-- SECURITY DEFINER reads filialrolle for roles that may not; session_user stays the login role
-- there, and SET ROLE does not change it. Through PgBouncer each server connection logs in as the
-- client's own role, so the answer is the same.
CREATE OR REPLACE FUNCTION ordovant_filiale() RETURNS integer
    LANGUAGE sql STABLE SECURITY DEFINER
    SET search_path = pg_catalog, pg_temp
AS $$ SELECT filiale FROM public.filialrolle WHERE rolle = session_user $$;
REVOKE ALL ON FUNCTION ordovant_filiale() FROM PUBLIC;
GRANT EXECUTE ON FUNCTION ordovant_filiale() TO ordovant_filiale;

REVOKE ALL ON absortieraufgabe, beleg, einstellung FROM ordovant_filiale;
GRANT SELECT ON absortieraufgabe, beleg TO ordovant_filiale;
GRANT SELECT, INSERT, UPDATE ON einstellung TO ordovant_filiale;

ALTER TABLE absortieraufgabe ENABLE ROW LEVEL SECURITY;
ALTER TABLE beleg ENABLE ROW LEVEL SECURITY;
ALTER TABLE einstellung ENABLE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS eigene_filiale ON absortieraufgabe;
CREATE POLICY eigene_filiale ON absortieraufgabe FOR SELECT TO ordovant_filiale
    USING (filiale = ordovant_filiale());

DROP POLICY IF EXISTS eigene_filiale ON beleg;
CREATE POLICY eigene_filiale ON beleg FOR SELECT TO ordovant_filiale
    USING (filiale = ordovant_filiale());

-- WITH CHECK refuses a row of another branch, new or changed.
DROP POLICY IF EXISTS eigene_filiale ON einstellung;
CREATE POLICY eigene_filiale ON einstellung FOR ALL TO ordovant_filiale
    USING (filiale = ordovant_filiale())
    WITH CHECK (filiale = ordovant_filiale());

COMMIT;
