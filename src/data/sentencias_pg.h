#pragma once

// Every statement the server engine sends, but for the transaction keywords (BEGIN, COMMIT, ROLLBACK): the fixed
// ones as texts, those built from a table's columns as functions. A table's name and its columns' names are the
// schema's own, never a user's text; values always go as parameters ($1, $2...).
#include "data/esquema.h"

#include <QString>
#include <cstddef>
#include <vector>

namespace SentenciasPg {

// The inventory's tables on a server: the same columns in the same order as in a file.
inline constexpr const char* crear_tablas = R"(
CREATE TABLE tipo (
    codigo bigint PRIMARY KEY,
    nombre text NOT NULL DEFAULT ''
);
CREATE TABLE marca (
    codigo bigint PRIMARY KEY,
    nombre text NOT NULL DEFAULT ''
);
CREATE TABLE elemento (
    codigo bigint PRIMARY KEY,
    tipo bigint NOT NULL DEFAULT 0,
    marca bigint NOT NULL DEFAULT 0,
    modelo text NOT NULL DEFAULT '',
    numserie text NOT NULL DEFAULT '',
    fecha date,
    garantia double precision NOT NULL DEFAULT 0,
    descripcion text NOT NULL DEFAULT '',
    renting boolean NOT NULL DEFAULT false
);
CREATE INDEX elemento_tipo ON elemento (tipo);
CREATE INDEX elemento_marca ON elemento (marca);
CREATE TABLE talvirenca (
    aplicacion text NOT NULL,
    version integer NOT NULL
);
)";

// The settings of every new connection: %1 the wait for a statement, %2 the wait for a lock, in ms.
inline constexpr const char* ajustes_conexion =
    "SET statement_timeout = %1; SET lock_timeout = %2; SET DateStyle = ISO; SET extra_float_digits = 3";
// What became of transaction $1, whose COMMIT's answer was lost.
inline constexpr const char* estado_transaccion = "SELECT pg_xact_status($1::xid8)";
// The id of the write transaction, taken before its COMMIT.
inline constexpr const char* id_transaccion = "SELECT pg_current_xact_id()::text";
// Begins a read: one snapshot of the whole database for all its tables.
inline constexpr const char* empezar_lectura = "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY";

// The columns of the inventory's tables and the mark, in order, to check a database holds an inventory.
inline constexpr const char* columnas_inventario =
    "SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid WHERE c.relnamespace = "
    "current_schema()::regnamespace AND c.relkind = 'r' AND c.relname IN ('elemento', 'tipo', 'marca', "
    "'talvirenca') AND a.attnum > 0 AND NOT a.attisdropped ORDER BY c.relname, a.attnum";
inline constexpr const char* marca_inventario = "SELECT aplicacion, version FROM talvirenca";
// How many of the inventory's tables the database holds (0: an inventory may be created in it).
inline constexpr const char* tablas_inventario =
    "SELECT count(*) FROM pg_class WHERE relnamespace = current_schema()::regnamespace AND relname IN ('elemento', "
    "'tipo', 'marca', 'talvirenca')";
// The mark of a new inventory, %1 its version.
inline constexpr const char* marcar_inventario =
    "INSERT INTO talvirenca (aplicacion, version) VALUES ('Talvirenca', %1)";

// A move of a file's inventory: no statement waits limit; nobody else writes until it ends; how many rows the
// tables hold already; and the copy of table %1's columns %2.
inline constexpr const char* sin_espera = "SET LOCAL statement_timeout = 0";
inline constexpr const char* bloquear_inventario = "LOCK TABLE elemento, tipo, marca IN EXCLUSIVE MODE";
inline constexpr const char* filas_inventario =
    "SELECT (SELECT count(*) FROM elemento), (SELECT count(*) FROM tipo) + (SELECT count(*) FROM marca)";
inline constexpr const char* copiar_a_tabla = "COPY %1 (%2) FROM STDIN";

// The import into an inventory in use: the types, the brands and the codes it holds; other writers wait until the
// transaction ends; `filas` rows of `por_fila` values ($1...) into table %1's columns.
inline constexpr const char* tipos_existentes = "SELECT codigo, nombre FROM tipo ORDER BY codigo";
inline constexpr const char* marcas_existentes = "SELECT codigo, nombre FROM marca ORDER BY codigo";
inline constexpr const char* codigos_existentes = "SELECT codigo FROM elemento ORDER BY codigo";
inline constexpr const char* turno_importacion = "LOCK TABLE tipo, marca, elemento IN SHARE ROW EXCLUSIVE MODE";
QString insertar_filas(const Tabla& t, std::size_t filas);

// The name of a table or column on a server, and its columns in order.
QString nombre(const char* nombre);
QString columnas(const Tabla& t);
// The type on a server of a column of this kind.
const char* tipo(Clase clase);
// The columns a read asks for, each name after `prefijo`: a date as its day number, which holds any date the
// server does ("0044-03-15 BC", "20240-03-05"), and as its text when it is infinite.
QString columnas_lectura(const Tabla& t, const QString& prefijo = {});
// The rows the server estimates table `t` holds; the whole table in order of code.
QString estimar_filas(const Tabla& t);
QString leer_tabla(const Tabla& t);
// The changes since the kept snapshot `instantanea` (see leer_cambios below).
QString leer_cambios_de(const Tabla& t, const QByteArray& instantanea);

// A new row from $1... (one per column); a component only while its type ($2) and brand ($3) exist. Gives the code.
QString insertar(const Tabla& t);
// Writers of `t` take turns until the transaction ends; the greatest code of `t`.
QString turno_escritores(const Tabla& t);
QString codigo_mayor(const Tabla& t);
// "codigo = $primero AND each other column IS NOT DISTINCT FROM the next parameter": the row as it was read.
QString condicion_igual(const Tabla& t, int primero);
// The row as read (parameters from n+1, n the columns) set to $1...$n, and, for each ordinal in `comprobar`, only
// while the type or brand its parameter names exists. Gives the code.
QString modificar(const Tabla& t, const std::vector<int>& comprobar);
// Whether the type or brand that column `ordinal` of `t` names (the table of the column's name) has code $1.
QString existe_codigo(const Tabla& t, int ordinal);
// The row as read, from $1.
QString borrar(const Tabla& t);
// Writes to `uso` wait until the transaction ends; whether a row of `uso` holds $1 in column `columna`.
QString bloquear_uso(const Tabla& uso);
QString en_uso(const Tabla& uso, int columna);

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
