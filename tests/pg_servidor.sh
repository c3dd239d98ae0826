#!/bin/sh
# A throwaway PostgreSQL 15 cluster for the tests and the benchmark, listening only on a Unix socket in its own
# temporary folder. Run as root (as CI does), the server runs as the unprivileged user "postgres".
#   pg_servidor.sh iniciar ARCHIVO   makes and starts a cluster, writes its folder into ARCHIVO
#   pg_servidor.sh parar ARCHIVO     stops the cluster named in ARCHIVO and removes it
#   pg_servidor.sh detener DIR | arrancar DIR   stops or starts it again, keeping its data
set -e
BIN=/usr/lib/postgresql/15/bin
como() {
    if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
case "$1" in
iniciar)
    dir=$(mktemp -d /tmp/talvirenca-pg.XXXXXX)
    chmod 755 "$dir"
    [ "$(id -u)" = 0 ] && chown postgres "$dir"
    como "$BIN/initdb" -D "$dir/datos" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log"; exit 1; }
    cat >>"$dir/datos/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 60
CONF
    # The role "clave" must give its password; every other local role is trusted.
    { echo "local all clave scram-sha-256"; echo "local all all trust"; } >"$dir/datos/pg_hba.conf"
    como "$BIN/pg_ctl" -D "$dir/datos" -l "$dir/servidor.log" -w -t 60 start >/dev/null
    printf '%s\n' "$dir" >"$2"
    ;;
parar)
    [ -f "$2" ] || exit 0
    dir=$(cat "$2")
    como "$BIN/pg_ctl" -D "$dir/datos" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir" "$2"
    ;;
detener)
    como "$BIN/pg_ctl" -D "$2/datos" -m fast -w stop >/dev/null
    ;;
arrancar)
    como "$BIN/pg_ctl" -D "$2/datos" -l "$2/servidor.log" -w -t 60 start >/dev/null
    ;;
*)
    echo "uso: $0 iniciar|parar ARCHIVO | detener|arrancar DIR" >&2
    exit 2
    ;;
esac
