#include "guard.h"

#include "hosterror.h"
#include "qvxinfo.h"

void reportException(const QString &label, std::exception_ptr exception, bool report)
{
    try {
        try {
            std::rethrow_exception(exception);
        } catch (const std::exception &e) {
            QVXInfo()->RegisterException(label, e, report);
        } catch (...) {
            QVXInfo()->RegisterException(label, HostError(QStringLiteral("Unbekannte Ausnahme")), report);
        }
    } catch (...) {
        // The error service itself failed: there is nowhere left to report to.
    }
}
