// fbframe: times a picture's arrival on the Linux framebuffer, on the device
// itself, where there is no display server to ask.
//
//   fbframe -p X,Y,RRGGBB [-p ...] [-t SECONDS] -- COMMAND [ARG...]
//   fbframe -p X,Y,RRGGBB [-p ...] [-t SECONDS] -e
//
// The framebuffer is blanked first, so a picture left over from an earlier
// run cannot count. Then the clock starts: just before COMMAND is started,
// or with -e when acpid reports its next event on its socket (the power
// button's press, as acpid's own handlers see it). /dev/fb0 is read every
// millisecond until every probe pixel has its colour. Prints one line of
// key=value: content_ms (the picture's arrival), and with -e the event.
// COMMAND is then sent SIGTERM. Status 0 when the picture came, 1 when not
// within -t seconds (default 60), 2 on a usage or system error.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define MAX_PROBES 16

struct probe {
    unsigned x, y;
    uint32_t pixel;
};

static void die(const char *what)
{
    fprintf(stderr, "fbframe: %s: %s\n", what, strerror(errno));
    exit(2);
}

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static uint32_t channel(unsigned value, const struct fb_bitfield *field)
{
    return (uint32_t)(value >> (8 - field->length)) << field->offset;
}

static int connect_to_acpid(void)
{
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un address = {.sun_family = AF_UNIX};
    strcpy(address.sun_path, "/run/acpid.socket");
    if (s < 0 || connect(s, (struct sockaddr *)&address, sizeof address) < 0)
        die("acpid's socket /run/acpid.socket");
    // Whoever presses the button waits for this line.
    printf("listening\n");
    fflush(stdout);
    return s;
}

// The next line acpid sends its clients, e.g. "button/power PBTN 00000080 00000000".
static void wait_for_acpi_event(int s, char *line, size_t size)
{
    size_t used = 0;
    while (used + 1 < size) {
        ssize_t n = read(s, line + used, 1);
        if (n <= 0)
            die("reading acpid's socket");
        if (line[used] == '\n')
            break;
        used++;
    }
    line[used] = '\0';
    close(s);
}

int main(int argc, char **argv)
{
    struct probe probes[MAX_PROBES];
    int count = 0, acpi = 0, opt;
    double timeout_ms = 60e3;
    while ((opt = getopt(argc, argv, "p:t:e")) != -1) {
        unsigned x, y, rgb;
        if (opt == 'p' && count < MAX_PROBES && sscanf(optarg, "%u,%u,%x", &x, &y, &rgb) == 3)
            probes[count++] = (struct probe){x, y, rgb};
        else if (opt == 't')
            timeout_ms = atof(optarg) * 1e3;
        else if (opt == 'e')
            acpi = 1;
        else
            goto usage;
    }
    if (count == 0 || acpi == (optind < argc))
        goto usage;

    int fb = open("/dev/fb0", O_RDWR);
    struct fb_var_screeninfo var;
    struct fb_fix_screeninfo fix;
    if (fb < 0 || ioctl(fb, FBIOGET_VSCREENINFO, &var) < 0 || ioctl(fb, FBIOGET_FSCREENINFO, &fix) < 0)
        die("/dev/fb0");
    if (var.bits_per_pixel != 32) {
        fprintf(stderr, "fbframe: /dev/fb0 has %u bits a pixel; only 32 are read\n", var.bits_per_pixel);
        return 2;
    }
    uint8_t *screen = mmap(NULL, fix.smem_len, PROT_READ | PROT_WRITE, MAP_SHARED, fb, 0);
    if (screen == MAP_FAILED)
        die("mapping /dev/fb0");
    for (int i = 0; i < count; i++) {
        if (probes[i].x >= var.xres || probes[i].y >= var.yres) {
            fprintf(stderr, "fbframe: probe %u,%u is off the %ux%u screen\n", probes[i].x, probes[i].y, var.xres,
                    var.yres);
            return 2;
        }
        uint32_t rgb = probes[i].pixel;
        probes[i].pixel = channel(rgb >> 16 & 255, &var.red) | channel(rgb >> 8 & 255, &var.green) |
                          channel(rgb & 255, &var.blue);
    }
    const uint32_t colour_bits = channel(255, &var.red) | channel(255, &var.green) | channel(255, &var.blue);
    memset(screen + var.yoffset * fix.line_length, 0, (size_t)var.yres * fix.line_length);

    char event[256] = "";
    pid_t child = 0;
    double zero;
    if (acpi) {
        wait_for_acpi_event(connect_to_acpid(), event, sizeof event);
        zero = now_ms();
    } else {
        zero = now_ms();
        child = fork();
        if (child < 0)
            die("fork");
        if (child == 0) {
            execvp(argv[optind], argv + optind);
            die(argv[optind]);
        }
    }

    int shown = 0;
    double arrived;
    while (!shown && (arrived = now_ms()) - zero < timeout_ms) {
        shown = 1;
        for (int i = 0; i < count && shown; i++) {
            const uint8_t *at = screen + (var.yoffset + probes[i].y) * fix.line_length + (var.xoffset + probes[i].x) * 4;
            shown = (*(const uint32_t *)at & colour_bits) == probes[i].pixel;
        }
        if (!shown)
            usleep(1000);
    }
    if (shown)
        printf("content_ms=%.1f", arrived - zero);
    else
        printf("content_ms=none");
    if (acpi)
        printf(" event=\"%s\"", event);
    printf("\n");
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, NULL, 0);
    }
    return shown ? 0 : 1;

usage:
    fprintf(stderr, "usage: fbframe -p X,Y,RRGGBB [-p ...] [-t SECONDS] (-e | -- COMMAND [ARG...])\n");
    return 2;
}
