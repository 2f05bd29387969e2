// The conf.ini reader against real files, without Qt.
#include "settings/conf_reader.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& name, const std::string& detail = {})
{
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAIL: %s %s\n", name.c_str(), detail.c_str());
}

std::string temp_dir()
{
    char path[] = "/tmp/powermenu-reader-XXXXXX";
    if (!mkdtemp(path)) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return path;
}

const std::string dir = temp_dir();

std::string write_file(const std::string& name, const std::string& content)
{
    const std::string path = dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    return path;
}

int read_key(const std::string& content, const char* key)
{
    const std::string path = write_file("conf.ini", content);
    FILE* file = settings::open_conf(path.c_str());
    if (!file)
        return INT_MIN + 1;
    const int value = settings::read_int(file, key);
    std::fclose(file);
    return value;
}

struct Case {
    const char* name;
    std::string content;
    const char* key;
    int expected;
};

const std::string kSixtyCharacters = std::string(49, '.') + "start_x=77\n";

const Case kCases[] = {
    {"equals sign", "icon0_y=37\n", "icon0_y", 37},
    {"blank after the separator is skipped", "icon0_y= 37\n", "icon0_y", 37},
    {"blank before the equals sign reads 0", "icon0_y = 37\n", "icon0_y", 0},
    {"colon as separator", "icon0_y:37\n", "icon0_y", 37},
    {"blank as separator", "icon0_y 37\n", "icon0_y", 37},
    {"negative value", "start_x=-20\n", "start_x", -20},
    {"plus sign", "start_x=+20\n", "start_x", 20},
    {"comment in the first column", "#shut_x=5\n", "shut_x", 0},
    {"blank before # is no comment", " #shut_x=5\n", "shut_x", 5},
    {"key inside a longer name wins when first", "old_shut_x=9\nshut_x=5\n", "shut_x", 9},
    {"first of two lines wins", "shut_x=5\nshut_x=6\n", "shut_x", 5},
    {"first occurrence within a line", "shut_x=shut_x=5\n", "shut_x", 0},
    {"trailing text is ignored", "width0=12abc\n", "width0", 12},
    {"hex is not understood", "width0=0x20\n", "width0", 0},
    {"no digits", "width0=abc\n", "width0", 0},
    {"nothing after the key", "width0", "width0", 0},
    {"only the separator", "width0=\n", "width0", 0},
    {"last line without line break", "a=1\nheight1=44", "height1", 44},
    {"CRLF line ends", "height1=44\r\nwidth1=3\r\n", "width1", 3},
    {"missing key", "icon0_y=37\n", "line_color", 0},
    {"empty file", "", "line_color", 0},
    {"saturates high", "line_color=99999999999999999999\n", "line_color", INT_MAX},
    {"saturates low", "line_color=-99999999999\n", "line_color", INT_MIN},
    {"just over 32 bits", "line_color=2147483648\n", "line_color", INT_MAX},
    {"value text is cut at 19 characters", "width0=-000000000000000001234\n", "width0", -1},
    {"long value saturates instead of overflowing the buffer",
     "width0=1234567890123456789012345678901234567890\n", "width0", INT_MAX},
    // A 60-character line is a piece of 49 characters and one of 11.
    {"key in the second piece of a long line", kSixtyCharacters, "start_x", 77},
    {"key split across two pieces is not found",
     std::string(45, 'x') + "start_x=5\n", "start_x", 0},
    {"long comment: later pieces are not comments",
     "#" + std::string(48, '-') + "shut_x=8\n", "shut_x", 8},
    {"text after a NUL byte in a piece is not seen",
     std::string("junk\0shut_x=3\n", 14) + "shut_x=4\n", "shut_x", 4},
    {"other lines are ignored", "[menu]\nname=test\nreboot_x=160\n", "reboot_x", 160},
};

void test_table()
{
    for (const Case& c : kCases) {
        const int value = read_key(c.content, c.key);
        check(value == c.expected, c.name,
              "(got " + std::to_string(value) + ", want " + std::to_string(c.expected) + ")");
    }
}

void test_keys_in_any_order()
{
    const std::string path = write_file("conf.ini", "b=2\na=1\n");
    FILE* file = settings::open_conf(path.c_str());
    const int b = settings::read_int(file, "b");
    const int a = settings::read_int(file, "a");
    const int again = settings::read_int(file, "b");
    std::fclose(file);
    check(a == 1 && b == 2 && again == 2, "every key is searched from the top");
}

void test_read_limit()
{
    std::string big(settings::kReadLimit - 8, '\n');
    big += "start_x=5\n";  // straddles the limit: only "start_x=" is read
    check(read_key(big, "start_x") == 0, "text past 1 MiB is not read");
    std::string inside(settings::kReadLimit - 20, '\n');
    inside += "start_x=5\n";
    check(read_key(inside, "start_x") == 5, "text just inside 1 MiB is read");
}

void test_files_that_cannot_be_opened()
{
    check(settings::open_conf((dir + "/absent.ini").c_str()) == nullptr, "missing file");

    const std::string sub = dir + "/a-directory.ini";
    mkdir(sub.c_str(), 0755);
    check(settings::open_conf(sub.c_str()) == nullptr, "directory");

    // Opening a FIFO for reading normally waits for a writer; a hang here fails the test by timeout.
    const std::string fifo = dir + "/fifo.ini";
    mkfifo(fifo.c_str(), 0644);
    check(settings::open_conf(fifo.c_str()) == nullptr, "FIFO");

    const std::string zero = dir + "/zero.ini";
    symlink("/dev/zero", zero.c_str());
    check(settings::open_conf(zero.c_str()) == nullptr, "symlink to a device");

    const std::string locked = write_file("locked.ini", "shut_x=5\n");
    chmod(locked.c_str(), 0);
    if (geteuid() != 0)
        check(settings::open_conf(locked.c_str()) == nullptr, "unreadable file");
}

} // namespace

int main()
{
    test_table();
    test_keys_in_any_order();
    test_read_limit();
    test_files_that_cannot_be_opened();
    std::system(("rm -rf '" + dir + "'").c_str());
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
