"""conf.ini files no theme author meant to write: the menu still starts, reacts and exits."""

import os
import random

from harness import Case, not_as_root

SAMPLE_LINES = ["icon0_y=104", "icon1_y=236", "width0=72", "width1=152", "height0=104",
                "height1=44", "reflash_x=6", "shut_x=84", "reboot_x=162", "cancel_x=44",
                "start_x=0", "start_y=0", "line_color=16763904"]


def replace_conf(make):
    def spoil(theme):
        conf = theme / "conf.ini"
        conf.unlink()
        make(conf)
    return spoil


def write(data):
    return replace_conf(lambda conf: conf.write_bytes(data))


def fifo(conf):
    os.mkfifo(conf)


def fifty_mib(conf):
    with open(conf, "wb") as out:
        out.write(("\n".join(SAMPLE_LINES) + "\n").encode())
        filler = b"# a long comment that goes on and on and on......\n" * 20000
        for _ in range((50 << 20) // len(filler) + 1):
            out.write(filler)


def unreadable(theme):
    (theme / "conf.ini").chmod(0)


binary = bytes(random.Random(4).randrange(256) for _ in range(65536))
binary_with_keys = b"\0".join(line.encode() for line in SAMPLE_LINES) + b"\0\xff\0" + binary
long_lines = "".join(line + "x" * (10000 - len(line)) + "\n" + "y" * 10000 + "\n"
                     for line in SAMPLE_LINES).encode()
thousand_digits = "".join(f"{line.split('=')[0]}={'9' * 1000}\n" for line in SAMPLE_LINES).encode()
minus_thousand_digits = thousand_digits.replace(b"=9", b"=-9")
invalid_utf8 = b"".join(b"\xff\xfe" + line.encode() + b"\xc3\x28\xa0\xa1\xf0\x28\x8c\xbc\n"
                        for line in SAMPLE_LINES)

CASES = [
    Case("missing", replace_conf(lambda conf: None)),
    Case("empty", write(b"")),
    Case("a directory", replace_conf(lambda conf: conf.mkdir())),
    Case("a FIFO with no writer", replace_conf(fifo)),
    Case("a symlink to /dev/zero", replace_conf(lambda conf: conf.symlink_to("/dev/zero"))),
    Case("a dangling symlink", replace_conf(lambda conf: conf.symlink_to("nowhere/conf.ini"))),
    Case("50 MiB of text", replace_conf(fifty_mib)),
    Case("binary data with NUL bytes", write(binary_with_keys)),
    Case("lines of 10,000 characters", write(long_lines)),
    Case("values of 1,000 digits", write(thousand_digits)),
    Case("values of minus 1,000 digits", write(minus_thousand_digits)),
    Case("invalid UTF-8", write(invalid_utf8)),
    Case("no read permission", unreadable, skip=not_as_root()),
]
