#include "tools/check/conf_check.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

// A piece kept for the checks that look at the file as a whole.
struct Piece {
    int line;
    bool starts_line;
    bool ends_line;
    bool has_nul;
    std::string text; // up to the first NUL, as the key search sees it
};

bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
    const auto last = std::find_if_not(text.rbegin(), text.rend(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string quoted(const std::string& text)
{
    return "\"" + printable(text) + "\"";
}

std::vector<Piece> read_pieces(FILE* file, bool& stopped_at_limit)
{
    std::vector<Piece> pieces;
    settings::PieceReader reader(file);
    while (reader.next()) {
        const std::string visible = reader.text();
        pieces.push_back({reader.line(), reader.starts_line(), reader.ends_line(),
                          static_cast<int>(visible.size()) < reader.length(), visible});
    }
    stopped_at_limit = reader.stopped_at_limit();
    return pieces;
}

std::string unopened_reason(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "missing" : std::string("cannot be read: ") + std::strerror(errno);
    if (S_ISDIR(info.st_mode))
        return "is a directory, not a file";
    if (!S_ISREG(info.st_mode))
        return "is not a regular file (a FIFO or a device is never read)";
    return "cannot be read (check its permissions)";
}

// The word around the key's text: "old_shut_x" for shut_x found in "old_shut_x=9".
std::string surrounding_word(const std::string& piece, std::size_t offset, std::size_t length)
{
    std::size_t first = offset;
    while (first > 0 && is_name_char(piece[first - 1]))
        --first;
    std::size_t last = offset + length;
    while (last < piece.size() && is_name_char(piece[last]))
        ++last;
    return piece.substr(first, last - first);
}

// A comment line longer than a piece goes on as text that the reader takes
// for a line of its own; a key found there is a value the author never meant.
bool in_comment_continuation(const settings::ValueSource& source, const std::vector<Piece>& pieces)
{
    if (source.starts_line)
        return false;
    for (const Piece& piece : pieces)
        if (piece.line == source.line && piece.starts_line)
            return !piece.text.empty() && piece.text[0] == '#';
    return false;
}

// The whole line's length, line break excluded.
std::size_t line_length(int line, const std::vector<Piece>& pieces)
{
    std::size_t length = 0;
    for (const Piece& piece : pieces)
        if (piece.line == line)
            length += piece.text.size() - (piece.ends_line ? 1 : 0);
    return length;
}

// One message for a comment whose continuation sets keys: the other checks
// would each point at a symptom and suggest the wrong fix.
void check_comment_continuations(const ConfCheck& conf, const std::vector<Piece>& pieces, Findings& problems)
{
    for (std::size_t i = 0; i < conf.settings.size(); ++i) {
        const CheckedSetting& s = conf.settings[i];
        if (!s.source.found || !in_comment_continuation(s.source, pieces))
            continue;
        bool told = false;
        for (std::size_t j = 0; j < i; ++j)
            told = told || (conf.settings[j].source.found && conf.settings[j].source.line == s.source.line);
        if (told)
            continue;
        std::string sets;
        for (std::size_t j = i; j < conf.settings.size(); ++j) {
            const CheckedSetting& other = conf.settings[j];
            if (other.source.found && other.source.line == s.source.line)
                sets += std::string(sets.empty() ? "" : " and ") + other.key + " to " + std::to_string(other.number.value);
        }
        problems.push_back({"conf.ini", s.source.line, "the comment is "
            + std::to_string(line_length(s.source.line, pieces)) + " characters long; the menu reads "
            + std::to_string(settings::kPieceLength) + " characters at a time, line break included, and takes the rest, "
            + quoted(s.source.piece) + ", as a line of its own, which sets " + sets
            + "; shorten the comment to " + std::to_string(settings::kPieceLength - 1) + " characters"});
    }
}

void check_value(const CheckedSetting& s, Findings& problems)
{
    const settings::ValueSource& src = s.source;
    const std::string key = s.key;
    const std::size_t key_end = src.offset + key.size();

    const bool inside_word = (src.offset > 0 && is_name_char(src.piece[src.offset - 1]))
        || (key_end < src.piece.size() && is_name_char(src.piece[key_end]));
    if (inside_word)
        problems.push_back({"conf.ini", src.line, key + " is taken from inside the longer name "
            + quoted(surrounding_word(src.piece, src.offset, key.size()))
            + ", which the menu does not tell apart from " + key + "; rename it, or put the "
            + key + " line above this one"});

    const std::string value = trimmed(src.value_text);
    if (!s.number.has_digits) {
        const char separator = key_end < src.piece.size() ? src.piece[key_end] : '\0';
        std::string why;
        if (is_blank(separator) && !value.empty() && (value[0] == '=' || value[0] == ':'))
            why = "the blank after " + key + " is taken as the separator, so the value begins with "
                + quoted(value.substr(0, 1)) + "; write " + key + value.substr(0, 1)
                + trimmed(value.substr(1)) + " with nothing between the key and "
                + quoted(value.substr(0, 1));
        else if (value.empty() && src.value_cut)
            why = "its number lies beyond the " + std::to_string(settings::kValueLength)
                + " characters after the separator that are read; remove the blanks before it";
        else if (value.empty())
            why = "nothing follows the separator; write " + key + "=<number>";
        else
            why = "its value " + quoted(value) + " does not begin with a digit or a sign; write "
                + key + "=<number> in decimal";
        problems.push_back({"conf.ini", src.line, key + " reads as 0: " + why});
        return;
    }
    if (s.number.saturated)
        problems.push_back({"conf.ini", src.line, key + "=" + value + " is beyond the 32-bit range and reads as "
            + std::to_string(s.number.value) + "; use a number from -2147483648 to 2147483647"});
    const std::string rest = trimmed(src.value_text.substr(s.number.end));
    if (!rest.empty()) {
        const std::string number = trimmed(src.value_text.substr(0, s.number.end));
        if (s.number.value == 0 && (rest[0] == 'x' || rest[0] == 'X'))
            problems.push_back({"conf.ini", src.line, key + "=" + value + " reads as 0: hexadecimal is not understood; write "
                + key + "=" + std::to_string(std::strtoll(value.c_str(), nullptr, 16)) + " in decimal"});
        else
            problems.push_back({"conf.ini", src.line, "the text " + quoted(rest) + " after " + key + "'s number "
                + number + " is ignored; remove it"});
    } else if (src.value_cut && s.number.end == src.value_text.size()) {
        problems.push_back({"conf.ini", src.line, key + "'s value is cut after " + std::to_string(settings::kValueLength)
            + " characters and reads as " + std::to_string(s.number.value) + "; shorten it"});
    }
    // -1, all bits set, is the usual way to write white and reads as white.
    if (key == "line_color" && s.number.value != -1 && (s.number.value < 0 || s.number.value > 0xFFFFFF)) {
        const int colour = s.number.value & 0xFFFFFF;
        problems.push_back({"conf.ini", src.line, "line_color=" + std::to_string(s.number.value)
            + " has bits above 0xFFFFFF, which are ignored; for the colour it gives write line_color="
            + std::to_string(colour)});
    }
    // 0 and 1 ask for the one-pixel outline; below 0 is a slip that gives it too.
    if (key == "line_width" && s.number.value < 0)
        problems.push_back({"conf.ini", src.line, "line_width=" + std::to_string(s.number.value)
            + " is below 0 and draws the one-pixel outline; write a width from 2 up, or remove the line"});
}

void check_repeats(const char* key, const CheckedSetting& s, const std::vector<Piece>& pieces, Findings& problems)
{
    for (const Piece& piece : pieces) {
        if (piece.text.empty() || piece.text[0] == '#' || piece.text.find(key) == std::string::npos)
            continue;
        if (piece.line == s.source.line && piece.starts_line == s.source.starts_line && piece.text == s.source.piece)
            continue;
        problems.push_back({"conf.ini", piece.line, std::string(key) + " is here again but line "
            + std::to_string(s.source.line) + " comes first and wins (" + key + " is "
            + std::to_string(s.number.value) + "); remove one of the two"});
    }
}

bool sets_a_key(int line, const ConfCheck& conf)
{
    for (const CheckedSetting& s : conf.settings)
        if (s.source.found && s.source.line == line)
            return true;
    return false;
}

void check_lines(const std::vector<Piece>& pieces, const ConfCheck& conf, Findings& problems)
{
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        if (!piece.starts_line)
            continue;
        const std::size_t first = piece.text.find_first_not_of(" \t");
        if (first != std::string::npos && first > 0 && piece.text[first] == '#') {
            std::string supplies;
            for (const CheckedSetting& s : conf.settings)
                if (s.source.found && s.source.line == piece.line)
                    supplies += std::string(supplies.empty() ? "" : ", ") + s.key;
            problems.push_back({"conf.ini", piece.line, "\"#\" after leading blanks does not start a comment"
                + (supplies.empty() ? std::string() : ": the menu reads " + supplies + " from this line")
                + "; put \"#\" in the first column"});
        }

        std::size_t last = i;
        std::size_t length = piece.text.size();
        while (last + 1 < pieces.size() && !pieces[last + 1].starts_line)
            length += pieces[++last].text.size();
        if (last == i)
            continue;
        // A long comment that sets a key has its own message.
        if (piece.text[0] == '#' && sets_a_key(piece.line, conf))
            continue;
        if (pieces[last].ends_line)
            --length;
        std::string message = "the line is " + std::to_string(length) + " characters long; the menu reads "
            + std::to_string(settings::kPieceLength) + " characters at a time, line break included, and takes each piece"
            " as a line of its own (here " + std::to_string(last - i + 1) + ")";
        if (piece.text[0] == '#')
            message += ", so only the first piece is a comment";
        problems.push_back({"conf.ini", piece.line, message + "; keep lines to "
            + std::to_string(settings::kPieceLength - 1) + " characters"});

        // A key split inside a comment is not found, as a comment's key should not be.
        for (std::size_t p = i; p < last && piece.text[0] != '#'; ++p) {
            const Piece& left = pieces[p];
            const Piece& right = pieces[p + 1];
            if (left.has_nul)
                continue;
            for (const char* key : settings::kKeys) {
                const std::size_t n = std::strlen(key);
                const std::string tail = left.text.substr(left.text.size() - std::min(left.text.size(), n - 1));
                const std::string joined = tail + right.text.substr(0, n - 1);
                const std::size_t at = joined.find(key);
                if (at == std::string::npos || at + n <= tail.size() || at >= tail.size())
                    continue;
                const std::size_t column = (p - i) * settings::kPieceLength + left.text.size() - tail.size() + at + 1;
                problems.push_back({"conf.ini", piece.line, std::string(key) + " at character "
                    + std::to_string(column) + " is split between two pieces and is not found there; "
                    "keep lines to " + std::to_string(settings::kPieceLength - 1) + " characters"});
            }
        }
    }
}

} // namespace

std::string printable(const std::string& piece)
{
    std::string text = piece;
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (byte < 0x20 || byte == 0x7f) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else
            out += c;
    }
    return out;
}

int ConfCheck::value(const char* key) const
{
    for (const CheckedSetting& s : settings)
        if (std::strcmp(s.key, key) == 0)
            return s.number.value;
    return 0;
}

int ConfCheck::line(const char* key) const
{
    for (const CheckedSetting& s : settings)
        if (std::strcmp(s.key, key) == 0 && s.source.found)
            return s.source.line;
    return 0;
}

ConfCheck check_conf(const std::string& path)
{
    ConfCheck conf;
    for (std::size_t i = 0; i < settings::kKeyCount; ++i)
        conf.settings[i].key = settings::kKeys[i];

    FILE* file = settings::open_conf(path.c_str());
    if (!file) {
        conf.unopened = unopened_reason(path);
        conf.problems.push_back({"conf.ini", 0, conf.unopened + "; the menu then leaves every setting at 0"});
        return conf;
    }
    for (CheckedSetting& s : conf.settings) {
        s.source = settings::find_value(file, s.key);
        s.number = settings::to_number(s.source.value_text.c_str());
    }
    bool stopped_at_limit = false;
    const std::vector<Piece> pieces = read_pieces(file, stopped_at_limit);
    std::fclose(file);

    Findings& problems = conf.problems;
    for (const CheckedSetting& s : conf.settings) {
        if (!s.source.found || in_comment_continuation(s.source, pieces))
            continue;
        check_value(s, problems);
        check_repeats(s.key, s, pieces, problems);
    }
    check_comment_continuations(conf, pieces, problems);
    check_lines(pieces, conf, problems);
    if (stopped_at_limit)
        problems.push_back({"conf.ini", pieces.empty() ? 1 : pieces.back().line,
            "the file goes on past " + std::to_string(settings::kReadLimit)
            + " bytes and the menu reads nothing after this point; make it smaller"});
    return conf;
}
