#include "journal/SystemErrorText.h"

#include <cerrno>

namespace velmora {

std::string systemErrorText(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "kein Platz mehr auf dem Datenträger";
    case EACCES:
    case EPERM:
        return "keine Berechtigung";
    case EROFS:
        return "das Dateisystem ist schreibgeschützt";
    case EIO:
        return "Ein-/Ausgabefehler des Datenträgers";
    case ENOENT:
    case ENOTDIR:
        return "der Ordner fehlt";
    case ELOOP:
        return "die Datei ist ein symbolischer Verweis";
    default:
        return "Systemfehler " + std::to_string(error);
    }
}

} // namespace velmora
