// qt_min: the minimal Qt 6 Widgets version of the picture menu, for timing.
// QApplication + one QWidget: QImage loads the PNG, showFullScreen(),
// paintEvent draws the pixmap and the highlight frame (same layout as
// ref_xlib.c and make_pictures.sh).  Up/Down move it, Return prints the
// choice and exits 0, any other key exits 1.
// --quit-after-paint: quit right after the first paintEvent (used with
// -platform offscreen, where the window is sized to the picture).
// Prints "FFMARK <name> <CLOCK_MONOTONIC ns>" lines to stderr for ffrun.
//
// Built by bench/device/CMakeLists.txt; a copy of the shared first-frame harness's qt_min.cpp.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <ctime>

static void mark(const char *name) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  fprintf(stderr, "FFMARK %s %lld\n", name, (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec);
}

class Menu : public QWidget {
 public:
  Menu(const QImage &img, bool quitAfterPaint) : pix(QPixmap::fromImage(img)), quitAfterPaint(quitAfterPaint) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // we cover every pixel we own
  }

 protected:
  void paintEvent(QPaintEvent *) override {
    if (first) mark("paint_begin");
    QPainter p(this);
    p.drawPixmap(0, 0, pix);
    const int W = pix.width(), H = pix.height();
    const int mx = W / 8, top = H / 5, step = H * 3 / 20, bh = H / 10;
    const int m = qMax(2, W / 80), lw = qMax(2, W / 120);
    const int x0 = mx - m, y0 = top + sel * step - m, x1 = W - mx - 1 + m, y1 = top + sel * step + bh - 1 + m;
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    p.fillRect(x0, y0, w, lw, Qt::red);
    p.fillRect(x0, y1 - lw + 1, w, lw, Qt::red);
    p.fillRect(x0, y0, lw, h, Qt::red);
    p.fillRect(x1 - lw + 1, y0, lw, h, Qt::red);
    p.end();
    if (first) {
      first = false;
      mark("paint_end");
      if (quitAfterPaint) QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
    }
  }
  void keyPressEvent(QKeyEvent *e) override {
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
      sel = (sel + (e->key() == Qt::Key_Up ? 3 : 1)) % 4;
      update();
      return;
    }
    if (e->key() == Qt::Key_Return) {
      printf("%d\n", sel);
      fflush(stdout);
      QApplication::exit(0);
    } else {
      QApplication::exit(1);
    }
  }

 private:
  QPixmap pix;
  int sel = 0;
  bool first = true;
  bool quitAfterPaint;
};

int main(int argc, char **argv) {
  mark("main");
  QApplication app(argc, argv);
  mark("qapp");
  bool quitAfterPaint = false;
  const char *file = nullptr;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--quit-after-paint")) quitAfterPaint = true;
    else file = argv[i];
  }
  if (!file) {
    fprintf(stderr, "usage: qt_min [-platform P] [--quit-after-paint] picture.png\n");
    return 2;
  }
  QImage img(QString::fromLocal8Bit(file));
  if (img.isNull()) {
    fprintf(stderr, "qt_min: cannot load %s\n", file);
    return 2;
  }
  mark("png");
  Menu w(img, quitAfterPaint);
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
    w.resize(img.size());  // the offscreen screen is 800x600; paint the real size
    w.show();
  } else {
    // Without a window manager nobody honours _NET_WM_STATE_FULLSCREEN and
    // showFullScreen() alone maps a 640x480 window: size it ourselves.
    w.setGeometry(QGuiApplication::primaryScreen()->geometry());
    w.showFullScreen();
  }
  mark("shown");
  int rc = app.exec();
  mark("exit");
  return rc;
}
