#include "soporte/vfs_fallos.h"

#include <cstring>
#include <sqlite3.h>

namespace {

sqlite3_vfs* real = nullptr;
sqlite3_vfs capa;

bool contando = false;
int cuenta = 0;
int fallo = 0;
bool persistente = false;
bool hecho = false;
VfsFallos::Clase clase_hecha = VfsFallos::Clase::lectura;
int codigo_hecho = SQLITE_OK;

// The file SQLite sees: our methods, followed by the real file system's own file.
struct Archivo {
    sqlite3_file base;
    sqlite3_file* dentro;
};

sqlite3_file* dentro(sqlite3_file* f) {
    return reinterpret_cast<Archivo*>(f)->dentro;
}

bool disco_lleno = false;

// The error of a failing call of that kind.
int codigo_de(VfsFallos::Clase clase) {
    switch (clase) {
    case VfsFallos::Clase::lectura:
        return SQLITE_IOERR_READ;
    case VfsFallos::Clase::escritura:
        return disco_lleno ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    case VfsFallos::Clase::sincronia:
        return SQLITE_IOERR_FSYNC;
    case VfsFallos::Clase::truncado:
        return SQLITE_IOERR_TRUNCATE;
    case VfsFallos::Clase::bloqueo:
        return SQLITE_IOERR_LOCK;
    }
    return SQLITE_IOERR;
}

// Counts one call; returns the error it must give instead of running, or SQLITE_OK.
int paso(VfsFallos::Clase clase) {
    if (!contando)
        return SQLITE_OK;
    ++cuenta;
    if (fallo <= 0 || cuenta < fallo || (cuenta > fallo && !persistente))
        return SQLITE_OK;
    if (cuenta == fallo) {
        hecho = true;
        clase_hecha = clase;
        // Half of the failed writes are a full disk, half a failing one.
        disco_lleno = cuenta % 2 == 0;
        codigo_hecho = codigo_de(clase);
    }
    return codigo_de(clase);
}

int cerrar(sqlite3_file* f) {
    sqlite3_file* d = dentro(f);
    return d->pMethods ? d->pMethods->xClose(d) : SQLITE_OK;
}
int leer(sqlite3_file* f, void* datos, int n, sqlite3_int64 desde) {
    if (const int rc = paso(VfsFallos::Clase::lectura))
        return rc;
    return dentro(f)->pMethods->xRead(dentro(f), datos, n, desde);
}
int escribir(sqlite3_file* f, const void* datos, int n, sqlite3_int64 desde) {
    if (const int rc = paso(VfsFallos::Clase::escritura))
        return rc;
    return dentro(f)->pMethods->xWrite(dentro(f), datos, n, desde);
}
int truncar(sqlite3_file* f, sqlite3_int64 tamano) {
    if (const int rc = paso(VfsFallos::Clase::truncado))
        return rc;
    return dentro(f)->pMethods->xTruncate(dentro(f), tamano);
}
int sincronizar(sqlite3_file* f, int flags) {
    if (const int rc = paso(VfsFallos::Clase::sincronia))
        return rc;
    return dentro(f)->pMethods->xSync(dentro(f), flags);
}
int tamano(sqlite3_file* f, sqlite3_int64* t) {
    return dentro(f)->pMethods->xFileSize(dentro(f), t);
}
int bloquear(sqlite3_file* f, int nivel) {
    if (const int rc = paso(VfsFallos::Clase::bloqueo))
        return rc;
    return dentro(f)->pMethods->xLock(dentro(f), nivel);
}
int desbloquear(sqlite3_file* f, int nivel) {
    return dentro(f)->pMethods->xUnlock(dentro(f), nivel);
}
int reservado(sqlite3_file* f, int* r) {
    return dentro(f)->pMethods->xCheckReservedLock(dentro(f), r);
}
int control(sqlite3_file* f, int op, void* arg) {
    return dentro(f)->pMethods->xFileControl(dentro(f), op, arg);
}
int sector(sqlite3_file* f) {
    return dentro(f)->pMethods->xSectorSize(dentro(f));
}
int caracteristicas(sqlite3_file* f) {
    return dentro(f)->pMethods->xDeviceCharacteristics(dentro(f));
}
int shm_map(sqlite3_file* f, int i, int n, int e, void volatile** p) {
    return dentro(f)->pMethods->xShmMap(dentro(f), i, n, e, p);
}
int shm_lock(sqlite3_file* f, int o, int n, int flags) {
    return dentro(f)->pMethods->xShmLock(dentro(f), o, n, flags);
}
void shm_barrier(sqlite3_file* f) {
    dentro(f)->pMethods->xShmBarrier(dentro(f));
}
int shm_unmap(sqlite3_file* f, int borrar) {
    return dentro(f)->pMethods->xShmUnmap(dentro(f), borrar);
}
// No memory-mapped reads: every read goes through xRead, where it is counted.
int fetch(sqlite3_file*, sqlite3_int64, int, void** p) {
    *p = nullptr;
    return SQLITE_OK;
}
int unfetch(sqlite3_file*, sqlite3_int64, void*) {
    return SQLITE_OK;
}

const sqlite3_io_methods metodos = {3,        cerrar,      leer,      escribir, truncar, sincronizar,     tamano,
                                    bloquear, desbloquear, reservado, control,  sector,  caracteristicas, shm_map,
                                    shm_lock, shm_barrier, shm_unmap, fetch,    unfetch};

int abrir(sqlite3_vfs*, const char* nombre, sqlite3_file* f, int flags, int* salida) {
    auto* a = reinterpret_cast<Archivo*>(f);
    a->base.pMethods = nullptr;
    a->dentro = reinterpret_cast<sqlite3_file*>(a + 1);
    const int rc = real->xOpen(real, nombre, a->dentro, flags, salida);
    if (a->dentro->pMethods)
        a->base.pMethods = &metodos;
    return rc;
}

int borrar(sqlite3_vfs*, const char* nombre, int sincronizar) {
    return real->xDelete(real, nombre, sincronizar);
}
int acceso(sqlite3_vfs*, const char* nombre, int flags, int* salida) {
    return real->xAccess(real, nombre, flags, salida);
}
int ruta_completa(sqlite3_vfs*, const char* nombre, int n, char* salida) {
    return real->xFullPathname(real, nombre, n, salida);
}
void* dl_abrir(sqlite3_vfs*, const char* nombre) {
    return real->xDlOpen(real, nombre);
}
void dl_error(sqlite3_vfs*, int n, char* salida) {
    real->xDlError(real, n, salida);
}
void (*dl_simbolo(sqlite3_vfs*, void* d, const char* s))(void) {
    return real->xDlSym(real, d, s);
}
void dl_cerrar(sqlite3_vfs*, void* d) {
    real->xDlClose(real, d);
}
int azar(sqlite3_vfs*, int n, char* salida) {
    return real->xRandomness(real, n, salida);
}
int dormir(sqlite3_vfs*, int us) {
    return real->xSleep(real, us);
}
int hora(sqlite3_vfs*, double* t) {
    return real->xCurrentTime(real, t);
}
int ultimo_error(sqlite3_vfs*, int n, char* salida) {
    return real->xGetLastError(real, n, salida);
}
int hora64(sqlite3_vfs*, sqlite3_int64* t) {
    return real->xCurrentTimeInt64(real, t);
}

} // namespace

namespace VfsFallos {

void instalar() {
    if (real)
        return;
    real = sqlite3_vfs_find(nullptr);
    std::memset(&capa, 0, sizeof capa);
    capa.iVersion = 2;
    capa.szOsFile = static_cast<int>(sizeof(Archivo)) + real->szOsFile;
    capa.mxPathname = real->mxPathname;
    capa.zName = "fallos";
    capa.xOpen = abrir;
    capa.xDelete = borrar;
    capa.xAccess = acceso;
    capa.xFullPathname = ruta_completa;
    capa.xDlOpen = dl_abrir;
    capa.xDlError = dl_error;
    capa.xDlSym = dl_simbolo;
    capa.xDlClose = dl_cerrar;
    capa.xRandomness = azar;
    capa.xSleep = dormir;
    capa.xCurrentTime = hora;
    capa.xGetLastError = ultimo_error;
    capa.xCurrentTimeInt64 = hora64;
    sqlite3_vfs_register(&capa, 1);
}

void contar() {
    fallar_en(0);
}

void fallar_en(int n) {
    contando = true;
    cuenta = 0;
    fallo = n;
    hecho = false;
    codigo_hecho = SQLITE_OK;
}

void fallar_siempre(bool si) {
    persistente = si;
}

void parar() {
    contando = false;
    fallo = 0;
}

int llamadas() {
    return cuenta;
}
bool fallo_hecho() {
    return hecho;
}
Clase clase_fallada() {
    return clase_hecha;
}
int codigo_fallado() {
    return codigo_hecho;
}

QString nombre_clase(Clase clase) {
    switch (clase) {
    case Clase::lectura:
        return QStringLiteral("lectura");
    case Clase::escritura:
        return QStringLiteral("escritura");
    case Clase::sincronia:
        return QStringLiteral("sincronía");
    case Clase::truncado:
        return QStringLiteral("truncado");
    case Clase::bloqueo:
        return QStringLiteral("bloqueo");
    }
    return {};
}

} // namespace VfsFallos
