-- The branch server's tables for ordovant on MariaDB (or MySQL), with the user the workstations
-- connect as through ODBC. Run once as an administrator in the branch database:
--     mariadb filiale < mariadb.sql
-- Then give the user its password (ALTER USER ordovant IDENTIFIED BY '...') and put it into the
-- workstations' ODBC data source. The program never creates or alters a table; views of the same
-- shape over the branch software's own tables serve as well.

CREATE TABLE IF NOT EXISTS absortieraufgabe (
    id       bigint NOT NULL AUTO_INCREMENT PRIMARY KEY,
    filiale  integer NOT NULL,
    gv       integer NOT NULL,
    herkunft integer NOT NULL,
    erledigt integer NOT NULL DEFAULT 0,         -- 0: open
    INDEX absortieraufgabe_offen (filiale, erledigt, gv, herkunft)
) ENGINE = InnoDB;

CREATE TABLE IF NOT EXISTS beleg (
    id          bigint NOT NULL AUTO_INCREMENT PRIMARY KEY,
    filiale     integer NOT NULL,
    art         integer NOT NULL,
    ablaufdatum date,                             -- NULL: never expires
    erledigt    integer NOT NULL DEFAULT 0,
    INDEX beleg_offen (filiale, erledigt, art)
) ENGINE = InnoDB;

-- One row per branch and workstation setting, keyed as in the INI store: ORDOVANT/DM/GV07.
-- A key of MariaDB may not be a whole text column; 255 characters hold every key the program writes.
CREATE TABLE IF NOT EXISTS einstellung (
    filiale    integer NOT NULL,
    schluessel varchar(255) NOT NULL,
    wert       text NOT NULL,
    PRIMARY KEY (filiale, schluessel)
) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4 COLLATE = utf8mb4_bin;

CREATE USER IF NOT EXISTS ordovant;

-- The same grants as on PostgreSQL: read the tasks and documents, read and write the settings.
GRANT SELECT ON absortieraufgabe TO ordovant;
GRANT SELECT ON beleg TO ordovant;
GRANT SELECT, INSERT, UPDATE ON einstellung TO ordovant;
