#include "hostbackend.h"

#include "codetablevalues.h"
#include "hosterror.h"

namespace {
std::unique_ptr<HostBackend> &installedBackend()
{
    static std::unique_ptr<HostBackend> backend;
    return backend;
}
} // namespace

int HostBackend::geschaeftsvorfallVonKuerzel(const QString &kuerzel)
{
    return geschaeftsvorfallAusTabelle(kuerzel);
}

int HostBackend::herkunftVonChar(QChar zeichen)
{
    return herkunftAusTabelle(zeichen);
}

void HostBackend::baFilterClear(TQVX_BA_Filter &filter)
{
    filter = TQVX_BA_Filter{};
}

HostBackend &hostBackend()
{
    auto &backend = installedBackend();
    // The program installs its host before its first call; a call without one is the caller's fault.
    if (!backend)
        throw HostError(QStringLiteral("Es ist kein Host eingerichtet."));
    return *backend;
}

std::unique_ptr<HostBackend> installHostBackend(std::unique_ptr<HostBackend> backend)
{
    return std::exchange(installedBackend(), std::move(backend));
}
