#include "data/motor.h"

#include "data/motor_pg.h"
#include "data/ubicacion.h"

std::unique_ptr<Motor> motor_sqlite(const QString& ruta);

bool Motor::es_servidor(const QString& base) {
    return Ubicacion::es_uri(base);
}

std::unique_ptr<Motor> Motor::para(const QString& base) {
    return es_servidor(base) ? motor_pg(base) : motor_sqlite(base);
}
