#include "display.h"

#include <dlfcn.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

// A local X server answers at once; one that is stopped, or a listener that is no X server, never does.
constexpr int XAnswerMs = 5000;

struct XcbConnection;
using XcbConnect = XcbConnection *(*)(const char *, int *);
using XcbDisconnect = void (*)(XcbConnection *);

// Whether the X server that DISPLAY names answers within the bound, whatever its answer. Qt's own
// connection has no time limit and would hold the start for ever. The same library as Qt's xcb plugin
// connects the same way (DISPLAY, XAUTHORITY); without it Qt's plugin cannot start either.
bool xServerAnswers(const QByteArray &display)
{
    void *xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return true;
    const auto connect = reinterpret_cast<XcbConnect>(::dlsym(xcb, "xcb_connect"));
    const auto disconnect = reinterpret_cast<XcbDisconnect>(::dlsym(xcb, "xcb_disconnect"));
    if (!connect || !disconnect)
        return true;
    auto answered = std::make_shared<std::promise<void>>();
    std::future<void> answer = answered->get_future();
    // A connection that never answers keeps its thread until the process ends; nothing waits for it.
    std::thread([=] {
        disconnect(connect(display.constData(), nullptr));
        answered->set_value();
    }).detach();
    return answer.wait_for(std::chrono::milliseconds(XAnswerMs)) == std::future_status::ready;
}

QString described(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        return QStringLiteral("%1 ist leer").arg(QLatin1String(name));
    return QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), value);
}

} // namespace

// Debian's Qt has no Wayland plugin; where one is installed it is tried as Qt itself would.
QStringList DisplayPlatform::allowed()
{
    return {QStringLiteral("wayland"), QStringLiteral("wayland-egl"), QStringLiteral("xcb"),
            QStringLiteral("linuxfb")};
}

// Qt's own order: an X11 session's own window system first.
QStringList DisplayPlatform::byDefault()
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("x11"))
        return {QStringLiteral("xcb"), QStringLiteral("wayland")};
    return {QStringLiteral("wayland"), QStringLiteral("xcb")};
}

QString DisplayPlatform::cannotStart(const QString &name)
{
    const QByteArray display = qgetenv("DISPLAY");
    if (name != QLatin1String("xcb") || display.isEmpty() || xServerAnswers(display))
        return {};
    return QStringLiteral("der X-Server von DISPLAY=\"%1\" antwortet nicht innerhalb von %2 s")
        .arg(QString::fromLocal8Bit(display), QString::number(XAnswerMs / 1000));
}

QString DisplayPlatform::session()
{
    return described("DISPLAY") + QStringLiteral(", ") + described("WAYLAND_DISPLAY");
}
