// powermenu-check: reads a theme the way the menu does and says what the
// menu would make of it.
#include "tools/check/conf_check.h"
#include "tools/check/theme_files.h"
#include "tools/common/runtime_dir_note.h"
#include "tools/common/screen_size.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: powermenu-check [THEME_DIR] [--screen WxH] [--strict]\n"
    "Reads THEME_DIR (default: the current folder) the way powermenu does, prints the\n"
    "settings with the conf.ini line each comes from, then every problem (the menu\n"
    "will not do what the theme means) and every warning (worth a look), each with\n"
    "its line and the fix. --screen is the screen size that the pictures\n"
    "are for (default 240x320). --strict fails on warnings too.\n"
    "Exit status: 0 no problem, 1 problems found (or warnings, with --strict),\n"
    "2 usage error.\n";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "powermenu-check: %s\n%s", message.c_str(), kUsage);
    return 2;
}

void print_settings(const ConfCheck& conf)
{
    std::printf("settings from conf.ini:\n");
    for (const CheckedSetting& s : conf.settings) {
        std::string from;
        if (!conf.unopened.empty())
            from = "not read: conf.ini " + conf.unopened;
        else if (!s.source.found)
            from = "not set: no line holds \"" + std::string(s.key) + "\"";
        else
            from = "line " + std::to_string(s.source.line) + (s.source.starts_line ? "" : " (continued)") + ": \""
                + printable(s.source.piece) + "\"";
        std::printf("  %-10s %11d  %s\n", s.key, s.number.value, from.c_str());
    }
}

void print_files(const ThemeFiles& files)
{
    std::printf("files:\n");
    for (const FileStatus& file : files.files)
        std::printf("  %-13s  %s\n", file.name.c_str(), file.status.c_str());
}

// Prints the findings of one severity under a heading that counts them.
void print_findings(const Findings& findings, Severity severity, const char* kind)
{
    Findings these;
    std::copy_if(findings.begin(), findings.end(), std::back_inserter(these),
                 [severity](const Finding& f) { return f.severity == severity; });
    if (these.empty()) {
        if (severity == Severity::Problem)
            std::printf("no problems found\n");
        return;
    }
    std::printf("%zu %s%s:\n", these.size(), kind, these.size() == 1 ? "" : "s");
    for (const Finding& f : these) {
        const std::string where = f.file + (f.line > 0 ? " line " + std::to_string(f.line) : "");
        std::printf("  %s: %s\n", where.c_str(), f.message.c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string theme = ".";
    bool theme_given = false;
    bool strict = false;
    QSize screen(kDefaultScreenWidth, kDefaultScreenHeight);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
        if (arg == "--strict") {
            strict = true;
            continue;
        }
        std::string error;
        if (take_screen_option(argc, argv, i, screen, error)) {
            if (!error.empty())
                return usage_error(error);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option \"" + arg + "\"");
        } else if (theme_given) {
            return usage_error("only one theme folder at a time");
        } else {
            theme = arg;
            theme_given = true;
        }
    }
    // The menu reads every file relative to its working directory, and so does the check.
    if (chdir(theme.c_str()) != 0)
        return usage_error("cannot open the theme folder \"" + theme + "\": " + std::strerror(errno));

    // Picture formats beyond PNG come from plugins, which need an application object.
    drop_runtime_dir_note();
    QCoreApplication app(argc, argv);
    std::printf("powermenu-check: theme \"%s\", screen %dx%d\n", theme.c_str(), screen.width(), screen.height());
    const ConfCheck conf = check_conf("conf.ini");
    const ThemeFiles files = check_files();
    print_settings(conf);
    print_files(files);

    Findings findings = conf.problems;
    findings.insert(findings.end(), files.problems.begin(), files.problems.end());
    const Findings layout = check_layout(conf, files, screen);
    findings.insert(findings.end(), layout.begin(), layout.end());
    // conf.ini's findings in line order first, then those of the other files.
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        const bool a_conf = a.file == "conf.ini", b_conf = b.file == "conf.ini";
        return a_conf != b_conf ? a_conf : a_conf && a.line < b.line;
    });
    print_findings(findings, Severity::Problem, "problem");
    print_findings(findings, Severity::Warning, "warning");
    const bool fails = std::any_of(findings.begin(), findings.end(),
                                   [strict](const Finding& f) { return strict || f.severity == Severity::Problem; });
    return fails ? 1 : 0;
}
