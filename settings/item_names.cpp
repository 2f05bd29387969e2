#include "settings/item_names.h"

#include <algorithm>

namespace {

std::string trimmed(const std::string& text)
{
    const char* blank = " \t\r";
    const std::size_t first = text.find_first_not_of(blank);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

// Well-formed UTF-8 without control characters: the words go to a screen
// reader over D-Bus, which refuses malformed text outright.
bool speakable(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t')
                return false;
            continue;
        }
        int more = 0;
        unsigned long code = 0;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1, code = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2, code = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3, code = c & 0x07;
        else
            return false;
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80)
                return false;
            code = code << 6 | (*p & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((more == 2 && code < 0x800) || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF
            || (more == 3 && code < 0x10000))
            return false;
    }
    return true;
}

int key_index(const std::string& key)
{
    for (int i = 0; i < kNameCount; ++i)
        if (key == kNameKeys[i])
            return i;
    return -1;
}

std::string known_keys()
{
    std::string list;
    for (const char* key : kNameKeys)
        list += (list.empty() ? "" : ", ") + std::string(key);
    return list;
}

} // namespace

ItemNames read_item_names(std::FILE* file)
{
    ItemNames names;
    std::string text(kNamesReadLimit + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    if (text.size() > std::size_t(kNamesReadLimit)) {
        text.resize(kNamesReadLimit);
        // The line cut in two is dropped whole.
        text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        names.ignored.push_back({0, "only the first " + std::to_string(kNamesReadLimit / 1024)
                                        + " KiB are read; the rest is ignored"});
    }
    int taken_from[kNameCount] = {};
    int number = 0;
    for (std::size_t start = 0; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const int at = number + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            names.ignored.push_back({at, "no \"=\": a line is KEY=WORDS, such as item1=Power off"});
            continue;
        }
        const std::string key = trimmed(line.substr(0, equals)), words = trimmed(line.substr(equals + 1));
        const int index = key_index(key);
        if (index < 0)
            names.ignored.push_back({at, "\"" + key + "\" names nothing; the keys are " + known_keys()});
        else if (words.empty())
            names.ignored.push_back({at, "no words after \"" + key + "=\"; the built-in name stays"});
        else if (words.size() > kLongestName)
            names.ignored.push_back({at, "longer than " + std::to_string(kLongestName) + " bytes; the built-in name stays"});
        else if (!speakable(words))
            names.ignored.push_back({at, "not UTF-8 text (or holds control characters); the built-in name stays"});
        else {
            if (taken_from[index])
                names.ignored.push_back({taken_from[index], std::string(kNameKeys[index]) + " is named again on line "
                                                                + std::to_string(at) + ", which counts"});
            names.words[index] = words;
            taken_from[index] = at;
        }
    }
    // A name given twice is noted at its first line: the notes go in line order.
    std::stable_sort(names.ignored.begin(), names.ignored.end(),
                     [](const IgnoredLine& a, const IgnoredLine& b) { return a.line < b.line; });
    return names;
}
