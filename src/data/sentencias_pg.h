#pragma once

// The statements the server engine sends about the notes of changes: what a read sees, the rows changed since an
// earlier read, and the side table and triggers that keep those notes.
namespace SentenciasPg {

// The first statement of every read: its snapshot (whole, xmin, xmax); what identifies the database, the
// inventory's tables and the triggers that note changes; and whether every change of the three tables is noted
// where this user can read it.
inline constexpr const char* estado = R"(SELECT s::text, pg_snapshot_xmin(s)::text, pg_snapshot_xmax(s)::text,
    (SELECT oid::text FROM pg_database WHERE datname = current_database()) || ';' ||
    coalesce((SELECT string_agg(c.oid::text || ':' || c.xmin::text || ':' || c.relfilenode::text, ',' ORDER BY c.oid)
              FROM pg_class c WHERE c.relnamespace = current_schema()::regnamespace
              AND c.relname IN ('elemento', 'tipo', 'marca', 'talvirenca', 'talvirenca_cambios')), '') || ';' ||
    coalesce((SELECT string_agg(g.oid::text || ':' || g.xmin::text || ':' || g.tgenabled::text, ',' ORDER BY g.oid)
              FROM pg_trigger g JOIN pg_class c ON c.oid = g.tgrelid
              WHERE c.relnamespace = current_schema()::regnamespace AND g.tgname LIKE 'talvirenca\_cambios\_%'), ''),
    (SELECT count(*) FROM pg_trigger g JOIN pg_class c ON c.oid = g.tgrelid
     WHERE c.relnamespace = current_schema()::regnamespace AND c.relname IN ('elemento', 'tipo', 'marca')
     AND g.tgname LIKE 'talvirenca\_cambios\_%' AND g.tgenabled IN ('O', 'A')) = 12
    AND coalesce(has_table_privilege(to_regclass('talvirenca_cambios'), 'SELECT'), false)
    AND coalesce(has_table_privilege(to_regclass('talvirenca'), 'SELECT'), false)
    AND EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('talvirenca')
                AND attname = 'cambios_desde' AND NOT attisdropped)
    FROM pg_current_snapshot() s)";

// The rows of table %2 changed by the transactions the kept snapshot %3 did not see, as this read sees them: each
// changed code, then the row's columns %1 (all null when the row is gone). A null code says the changes are not
// all known: the table was emptied, or notes the kept snapshot may need were purged since, or begun after it.
inline constexpr const char* leer_cambios =
    "COPY (SELECT c.codigo, %1 FROM (SELECT DISTINCT codigo FROM talvirenca_cambios WHERE tabla = '%2' AND "
    "transaccion >= pg_snapshot_xmin('%3'::pg_snapshot) AND NOT pg_visible_in_snapshot(transaccion, "
    "'%3'::pg_snapshot) UNION ALL SELECT NULL WHERE NOT coalesce((SELECT cambios_desde FROM talvirenca LIMIT 1) < "
    "pg_snapshot_xmin('%3'::pg_snapshot), false)) c LEFT JOIN %2 e ON e.codigo = c.codigo ORDER BY c.codigo NULLS "
    "FIRST) TO STDOUT";

// Whether the notes are kept: the side table, the purge point and the twelve triggers.
inline constexpr const char* anotacion_instalada = R"(SELECT to_regclass('talvirenca_cambios') IS NOT NULL
    AND EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('talvirenca')
                AND attname = 'cambios_desde' AND NOT attisdropped)
    AND (SELECT count(*) FROM pg_trigger g JOIN pg_class c ON c.oid = g.tgrelid
         WHERE c.relnamespace = current_schema()::regnamespace AND c.relname IN ('elemento', 'tipo', 'marca')
         AND g.tgname LIKE 'talvirenca\_cambios\_%') = 12)";

// Only one program installs the notes at a time.
inline constexpr const char* turno_anotacion = "SELECT pg_advisory_xact_lock(7451260318893)";

// The notes of changes: one row per changed code and transaction, written by triggers owned by the inventory's
// owner, so that any user who may change the tables notes their changes without rights on the notes. The purge
// point starts at the installing transaction: no snapshot taken before it reads changes from the notes.
inline constexpr const char* instalar_anotacion = R"(
SET LOCAL client_min_messages = warning;
CREATE TABLE IF NOT EXISTS talvirenca_cambios (
    tabla text NOT NULL,
    codigo bigint,
    borrado boolean NOT NULL,
    transaccion xid8 NOT NULL DEFAULT pg_current_xact_id(),
    momento timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS talvirenca_cambios_transaccion ON talvirenca_cambios (transaccion);
ALTER TABLE talvirenca ADD COLUMN IF NOT EXISTS cambios_desde xid8;
UPDATE talvirenca SET cambios_desde = pg_current_xact_id();
CREATE OR REPLACE FUNCTION talvirenca_anotar_cambios() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path FROM CURRENT AS $$
BEGIN
    IF TG_OP = 'TRUNCATE' THEN
        INSERT INTO talvirenca_cambios (tabla, codigo, borrado) VALUES (TG_TABLE_NAME, NULL, true);
    ELSIF TG_OP = 'INSERT' THEN
        INSERT INTO talvirenca_cambios (tabla, codigo, borrado) SELECT TG_TABLE_NAME, codigo, false FROM nuevas;
    ELSIF TG_OP = 'DELETE' THEN
        INSERT INTO talvirenca_cambios (tabla, codigo, borrado) SELECT TG_TABLE_NAME, codigo, true FROM viejas;
    ELSE
        INSERT INTO talvirenca_cambios (tabla, codigo, borrado)
            SELECT TG_TABLE_NAME, v.codigo, true FROM viejas v
            WHERE NOT EXISTS (SELECT 1 FROM nuevas n WHERE n.codigo = v.codigo);
        INSERT INTO talvirenca_cambios (tabla, codigo, borrado) SELECT TG_TABLE_NAME, codigo, false FROM nuevas;
    END IF;
    RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION talvirenca_anotar_cambios() FROM PUBLIC;
)";

// The four triggers of table %1.
inline constexpr const char* disparadores_anotacion = R"(
CREATE OR REPLACE TRIGGER talvirenca_cambios_alta AFTER INSERT ON %1 REFERENCING NEW TABLE AS nuevas
    FOR EACH STATEMENT EXECUTE FUNCTION talvirenca_anotar_cambios();
CREATE OR REPLACE TRIGGER talvirenca_cambios_baja AFTER DELETE ON %1 REFERENCING OLD TABLE AS viejas
    FOR EACH STATEMENT EXECUTE FUNCTION talvirenca_anotar_cambios();
CREATE OR REPLACE TRIGGER talvirenca_cambios_cambio AFTER UPDATE ON %1 REFERENCING OLD TABLE AS viejas
    NEW TABLE AS nuevas FOR EACH STATEMENT EXECUTE FUNCTION talvirenca_anotar_cambios();
CREATE OR REPLACE TRIGGER talvirenca_cambios_vaciado AFTER TRUNCATE ON %1
    FOR EACH STATEMENT EXECUTE FUNCTION talvirenca_anotar_cambios();
)";

// Notes older than the retention are let go; the purge point moves to the newest transaction let go, so a
// snapshot older than that reads the tables whole.
inline constexpr const char* purgar_cambios = R"(WITH viejos AS (
    DELETE FROM talvirenca_cambios WHERE momento < now() - make_interval(secs => $1::double precision)
    RETURNING transaccion),
ultimo AS (SELECT transaccion FROM viejos ORDER BY transaccion DESC LIMIT 1)
UPDATE talvirenca SET cambios_desde = (SELECT transaccion FROM ultimo)
WHERE EXISTS (SELECT 1 FROM ultimo) AND (cambios_desde IS NULL OR cambios_desde < (SELECT transaccion FROM ultimo)))";

} // namespace SentenciasPg
