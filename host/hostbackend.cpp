#include "hostbackend.h"

#include "bafilter.h"
#include "codetables.h"
#include "host/standalone/standalonehost.h"

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
    if (!backend)
        backend = makeStandaloneHost();
    return *backend;
}

std::unique_ptr<HostBackend> installHostBackend(std::unique_ptr<HostBackend> backend)
{
    return std::exchange(installedBackend(), std::move(backend));
}
