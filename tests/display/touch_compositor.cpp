// A Wayland compositor for the display tests whose seat has a real touch
// screen: one output, xdg-shell windows shown full screen, and a seat that
// sends wl_touch down, motion, up, frame and cancel, and keys, as told one
// line at a time on stdin. It answers on stdout:
//   down ID X Y | move ID X Y | up ID | frame | cancel | key NAME   -> "ok"
//   pixel X Y                                   -> "R G B" of the screen
//   window                                      -> "WIDTHxHEIGHT" of the top window's last frame, or "none"
// Positions are in the output's pixels; the output has scale 1.
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTextStream>
#include <QWaylandBufferRef>
#include <QWaylandCompositor>
#include <QWaylandOutput>
#include <QWaylandOutputMode>
#include <QWaylandSeat>
#include <QWaylandSurface>
#include <QWaylandView>
#include <QWaylandXdgShell>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Window {
    std::unique_ptr<QWaylandView> view;
    QImage frame;
};

class TouchCompositor : public QObject {
public:
    explicit TouchCompositor(QSize size)
        : size(size)
    {
        compositor.setUseHardwareIntegrationExtension(false);
        compositor.setSocketName(qgetenv("TOUCH_COMPOSITOR_SOCKET"));
        const QWaylandOutputMode mode(size, 60000);
        output.addMode(mode, true);
        output.setCurrentMode(mode);
        compositor.create();
        connect(&shell, &QWaylandXdgShell::toplevelCreated, this, &TouchCompositor::show);
    }

    QByteArray socket() const { return compositor.socketName(); }

    QByteArray run(const QList<QByteArray>& words)
    {
        const QByteArray& verb = words.value(0);
        QWaylandSeat* seat = compositor.defaultSeat();
        QWaylandSurface* top = windows.empty() ? nullptr : windows.back()->view->surface();
        auto number = [&](int i) { return words.value(i).toInt(); };
        if (verb == "pixel") {
            const QPoint at(number(1), number(2));
            const QImage frame = windows.empty() ? QImage() : windows.back()->frame;
            const QColor c = frame.rect().contains(at) ? frame.pixelColor(at) : QColor(Qt::black);
            return QByteArray::number(c.red()) + ' ' + QByteArray::number(c.green()) + ' ' + QByteArray::number(c.blue());
        }
        if (verb == "window") {
            if (windows.empty() || windows.back()->frame.isNull())
                return "none";
            const QSize s = windows.back()->frame.size();
            return QByteArray::number(s.width()) + 'x' + QByteArray::number(s.height());
        }
        if (!top)
            return "no window";
        if (verb == "down")
            seat->sendTouchPointPressed(top, number(1), QPointF(number(2), number(3)));
        else if (verb == "move")
            seat->sendTouchPointMoved(top, number(1), QPointF(number(2), number(3)));
        else if (verb == "up")
            seat->sendTouchPointReleased(top, number(1), QPointF());
        else if (verb == "frame")
            seat->sendTouchFrameEvent(top->client());
        else if (verb == "cancel")
            seat->sendTouchCancelEvent(top->client());
        else if (verb == "key") {
            const int key = QKeySequence::fromString(QString::fromLatin1(words.value(1)))[0].key();
            seat->sendKeyEvent(key, true);
            seat->sendKeyEvent(key, false);
        } else
            return "unknown command";
        return "ok";
    }

private:
    // Every window covers the screen, the newest on top, with the keys.
    void show(QWaylandXdgToplevel* toplevel, QWaylandXdgSurface* xdg)
    {
        QWaylandSurface* surface = xdg->surface();
        auto window = std::make_unique<Window>();
        window->view = std::make_unique<QWaylandView>();
        window->view->setSurface(surface);
        window->view->setOutput(&output);
        Window* shown = window.get();
        windows.push_back(std::move(window));
        toplevel->sendFullscreen(size);
        connect(toplevel, &QWaylandXdgToplevel::setFullscreen, this, [=] { toplevel->sendFullscreen(size); });
        connect(surface, &QWaylandSurface::redraw, this, [=] {
            shown->view->advance();
            const QImage frame = shown->view->currentBuffer().image();
            if (!frame.isNull())
                shown->frame = frame.copy();
            surface->frameStarted();
            surface->sendFrameCallbacks();
        });
        connect(surface, &QWaylandSurface::surfaceDestroyed, this, [=] {
            windows.erase(std::remove_if(windows.begin(), windows.end(),
                                         [=](const std::unique_ptr<Window>& w) { return w.get() == shown; }),
                          windows.end());
        });
        compositor.defaultSeat()->setKeyboardFocus(surface);
    }

    QSize size;
    QWaylandCompositor compositor;
    QWaylandXdgShell shell{&compositor};
    QWaylandOutput output{&compositor, nullptr};
    std::vector<std::unique_ptr<Window>> windows;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a GPU the buffers are shared memory anyway; the failed EGL set-up is no news.
    QLoggingCategory::setFilterRules("qt.waylandcompositor.hardwareintegration.warning=false");
    QGuiApplication app(argc, argv);
    const QStringList size = QString(argc > 1 ? argv[1] : "240x320").split('x');
    TouchCompositor compositor(QSize(size.value(0).toInt(), size.value(1).toInt()));
    std::printf("%s\n", compositor.socket().constData());
    std::fflush(stdout);
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char chunk[4096];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            QGuiApplication::quit();
            return;
        }
        pending.append(chunk, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            std::printf("%s\n", compositor.run(pending.left(end).simplified().split(' ')).constData());
            std::fflush(stdout);
        }
    });
    return app.exec();
}
