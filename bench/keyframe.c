/* keyframe: how long a key press takes to reach the screen, for one program
 * on an X server (built for Xvfb).
 *
 * Starts the command, waits until its window is mapped and the -s pixel
 * shows its colour (the first frame is complete), then presses the -k key
 * -n times.  Each press is timed on CLOCK_MONOTONIC from just before the
 * XTEST key event to the first moment the next -p pixel (they are used in
 * turn, round robin) reads back from the root window in its colour; the
 * pixel is checked after every batch of screen damage, once the server has
 * finished drawing it.  Between presses it waits for the screen to stay
 * quiet for 50 ms.  Then it presses the -e key and waits for the program to
 * end (it is killed when it does not).
 *
 * Output: one line "ok=1 key2frame_ms=A,B,C key2exit_ms=E"; ok=0 and a
 * message on stderr when something did not happen in time.
 *
 * build: cc -O2 -o keyframe keyframe.c -lX11 -lXdamage -lXtst
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kMaxProbes = 16, kMaxPresses = 64 };
static const double kQuietMs = 50, kStartMs = 20000, kFrameMs = 3000, kExitMs = 5000;

typedef struct {
  int x, y;
  unsigned long rgb;
} Probe;

static Display *dpy;
static Window root;
static int damage_event;
static pid_t child;
static int child_fd = -1;

static double now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static void usage(void) {
  fprintf(stderr,
          "usage: keyframe [-k KEYSYM] [-e KEYSYM] [-n PRESSES] -s X,Y,RRGGBB -p X,Y,RRGGBB [-p ...] -- "
          "command [args]\n"
          "  -s  pixel that shows the first frame is complete\n"
          "  -p  pixel that shows press i is on screen (used in turn)\n"
          "  -k  key to time (default Right)   -e  key that ends the program (default F2)\n"
          "  -n  presses (default 3, at most 64)\n");
  exit(2);
}

static void fail(const char *what) {
  fprintf(stderr, "keyframe: %s\n", what);
  if (child > 0) {
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
  }
  printf("ok=0\n");
  exit(1);
}

static int child_ended(void) {
  struct pollfd p = {child_fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

static int probe_shows(const Probe *p) {
  XImage *im = XGetImage(dpy, root, p->x, p->y, 1, 1, AllPlanes, ZPixmap);
  if (!im) return 0;
  unsigned long px = XGetPixel(im, 0, 0) & 0xFFFFFF;
  XDestroyImage(im);
  return px == p->rgb;
}

/* Waits for X events until the deadline; returns 1 when something was
 * damaged (the drawing is finished when this returns), 0 on time-out. */
static int wait_for_damage(double deadline, Window *mapped) {
  for (;;) {
    int damaged = 0;
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type == damage_event + XDamageNotify) damaged = 1;
      else if (e.type == MapNotify && mapped && !*mapped) *mapped = e.xmap.window;
    }
    if (damaged) {
      XSync(dpy, False);
      return 1;
    }
    int left = (int)(deadline - now_ms() + 0.999);
    if (left <= 0) return 0;
    struct pollfd p[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {child_fd, POLLIN, 0}};
    poll(p, 2, left);
    if (child_ended()) fail("the program ended before it was asked to");
  }
}

static void press(KeyCode key) {
  XTestFakeKeyEvent(dpy, key, True, 0);
  XTestFakeKeyEvent(dpy, key, False, 0);
  XFlush(dpy);
}

static KeyCode keycode_of(const char *name) {
  KeySym sym = XStringToKeysym(name);
  KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy, sym);
  if (!code) {
    fprintf(stderr, "keyframe: no key called %s\n", name);
    exit(2);
  }
  return code;
}

static int parse_probe(const char *text, Probe *p) {
  return sscanf(text, "%d,%d,%lx", &p->x, &p->y, &p->rgb) == 3;
}

int main(int argc, char **argv) {
  const char *key_name = "Right", *end_name = "F2";
  Probe start, probes[kMaxProbes];
  int have_start = 0, nprobes = 0, presses = 3, opt;
  while ((opt = getopt(argc, argv, "+k:e:n:s:p:h")) != -1) {
    switch (opt) {
      case 'k': key_name = optarg; break;
      case 'e': end_name = optarg; break;
      case 'n': presses = atoi(optarg); break;
      case 's': have_start = parse_probe(optarg, &start); if (!have_start) usage(); break;
      case 'p':
        if (nprobes == kMaxProbes || !parse_probe(optarg, &probes[nprobes])) usage();
        nprobes++;
        break;
      default: usage();
    }
  }
  if (optind >= argc || !have_start || !nprobes || presses < 1 || presses > kMaxPresses) usage();

  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "keyframe: cannot open the X display (is DISPLAY set?)\n");
    return 2;
  }
  int error_base, a, b, c, d;
  if (!XDamageQueryExtension(dpy, &damage_event, &error_base) || !XTestQueryExtension(dpy, &a, &b, &c, &d)) {
    fprintf(stderr, "keyframe: the X server lacks the DAMAGE or XTEST extension\n");
    return 2;
  }
  KeyCode key = keycode_of(key_name), end_key = keycode_of(end_name);
  root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XDamageCreate(dpy, root, XDamageReportRawRectangles);
  XSync(dpy, False);

  child = fork();
  if (child < 0) fail("cannot fork");
  if (child == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    close(ConnectionNumber(dpy));
    execvp(argv[optind], argv + optind);
    _exit(127);
  }
  child_fd = (int)syscall(SYS_pidfd_open, child, 0);
  if (child_fd < 0) fail("cannot watch the program (pidfd_open)");

  Window win = 0;
  double deadline = now_ms() + kStartMs;
  while (!win || !probe_shows(&start))
    if (!wait_for_damage(deadline, &win)) fail("the first frame did not appear (the -s pixel never matched)");
  XWindowAttributes wa;
  XGetWindowAttributes(dpy, win, &wa);
  XWarpPointer(dpy, None, win, 0, 0, 0, 0, wa.width / 2, wa.height / 2);
  XSetInputFocus(dpy, win, RevertToPointerRoot, CurrentTime);
  XSync(dpy, False);

  double took[kMaxPresses];
  for (int i = 0; i < presses; i++) {
    while (wait_for_damage(now_ms() + kQuietMs, NULL)) {
    }
    const Probe *want = &probes[i % nprobes];
    if (probe_shows(want)) fail("a -p pixel already shows its colour before its key press");
    double t0 = now_ms();
    press(key);
    deadline = t0 + kFrameMs;
    for (;;) {
      if (!wait_for_damage(deadline, NULL)) fail("a key press never reached the screen (a -p pixel never matched)");
      if (probe_shows(want)) break;
    }
    took[i] = now_ms() - t0;
  }

  double t_end = now_ms();
  press(end_key);
  struct pollfd p = {child_fd, POLLIN, 0};
  if (poll(&p, 1, (int)kExitMs) <= 0) fail("the program did not end after the end key");
  double t_exit = now_ms();
  waitpid(child, NULL, 0);

  printf("ok=1 key2frame_ms=");
  for (int i = 0; i < presses; i++) printf("%s%.2f", i ? "," : "", took[i]);
  printf(" key2exit_ms=%.2f\n", t_exit - t_end);
  return 0;
}
