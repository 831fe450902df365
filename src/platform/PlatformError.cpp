// SPDX-License-Identifier: MIT
#include "PlatformError.h"

namespace platform {

QString standardDescription(ErrorNumber number) {
    switch (number) {
    case ErrorNumber::None:
        return {};
    case ErrorNumber::Overflow:
        return QStringLiteral("Desbordamiento: un valor queda fuera del intervalo permitido.");
    case ErrorNumber::OutOfMemory:
        return QStringLiteral("Memoria insuficiente.");
    case ErrorNumber::DivisionByZero:
        return QStringLiteral("División por cero.");
    case ErrorNumber::FileNotFound:
        return QStringLiteral("No se encontró el archivo.");
    case ErrorNumber::PathAccess:
        return QStringLiteral("Error de acceso a la ruta o al archivo.");
    case ErrorNumber::InvalidProperty:
        return QStringLiteral("Valor de propiedad no válido.");
    case ErrorNumber::InvalidPicture:
        return QStringLiteral("La imagen no es válida.");
    case ErrorNumber::PrinterError:
        return QStringLiteral("Error de la impresora.");
    case ErrorNumber::DialogCancelled:
        return QStringLiteral("Se eligió Cancelar.");
    }
    return QStringLiteral("Error desconocido.");
}

PlatformError::PlatformError(ErrorNumber number, QString detail)
    : std::runtime_error((detail.isEmpty() ? standardDescription(number) : detail).toStdString()),
      number_(number), description_(detail.isEmpty() ? standardDescription(number) : detail) {}

} // namespace platform
