// make-qmap KMAP QMAP: turns a keymap written as Linux keymap text into the
// binary .qmap form that Qt's evdev keyboard handler loads
// (QT_QPA_EVDEV_KEYBOARD_PARAMETERS=keymap=FILE). Debian ships no tool for
// that, so the package builds its keymap with this one.
//
// It reads only what a device's keymap for the menu needs: "keycode N = NAME"
// lines, one key each, without modifiers, NAME being one of the keys the menu
// knows (table below); "keymaps 0", blank lines and comments ('#' or '!')
// are passed over. Anything else is an error with its line number, so a
// keymap never loads with a key silently missing.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t no_character = 0xffff;
constexpr std::uint32_t keypad = 0x20000000; // Qt::KeypadModifier

struct QtKey {
    std::uint32_t code; // Qt::Key, with the keypad modifier for keypad keys
    std::uint16_t character;
};

// The menu's keys, coded as Qt's built-in evdev keymap codes them, so that
// a keyboard behaves the same with this keymap as without it. Keypad digits
// carry the keypad modifier: Qt turns them into arrows while NumLock is off.
const std::map<std::string, QtKey> known_keys = {
    {"Left", {0x01000012, no_character}},
    {"Up", {0x01000013, no_character}},
    {"Right", {0x01000014, no_character}},
    {"Down", {0x01000015, no_character}},
    {"Return", {0x01000004, no_character}},
    {"KP_Enter", {0x01000005 | keypad, no_character}},
    {"F2", {0x01000031, no_character}},
    {"Num_Lock", {0x01000025, no_character}},
    {"two", {0x32, '2'}},
    {"four", {0x34, '4'}},
    {"five", {0x35, '5'}},
    {"six", {0x36, '6'}},
    {"eight", {0x38, '8'}},
    {"KP_2", {0x32 | keypad, '2'}},
    {"KP_4", {0x34 | keypad, '4'}},
    {"KP_5", {0x35 | keypad, '5'}},
    {"KP_6", {0x36 | keypad, '6'}},
    {"KP_8", {0x38 | keypad, '8'}},
};

struct Mapping {
    std::uint16_t keycode;
    QtKey key;
};

// Qt reads the file with QDataStream: big-endian integers, no padding.
void put(std::string& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xff));
}

std::string qmap_bytes(const std::vector<Mapping>& mappings)
{
    std::string out;
    put(out, 0x514d4150, 4); // "QMAP"
    put(out, 1, 4);          // format version
    put(out, static_cast<std::uint32_t>(mappings.size()), 4);
    put(out, 0, 4); // no compose table
    for (const Mapping& m : mappings) {
        put(out, m.keycode, 2);
        put(out, m.key.character, 2);
        put(out, m.key.code, 4);
        put(out, 0, 1); // modifiers: plain
        put(out, 0, 1); // flags: an ordinary key
        put(out, 0, 2); // special: none
    }
    return out;
}

int fail(const std::string& message)
{
    std::cerr << "make-qmap: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return fail("usage: make-qmap KMAP QMAP (Linux keymap text in, Qt's .qmap out)");
    std::ifstream in(argv[1]);
    if (!in)
        return fail(std::string("cannot read ") + argv[1]);

    const std::regex skipped(R"(\s*([#!].*)?|\s*keymaps\s+0\s*)");
    const std::regex keycode_line(R"(\s*keycode\s+(\d{1,5})\s*=\s*(\S+)\s*)");
    std::vector<Mapping> mappings;
    std::map<unsigned long, int> first_line;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = std::string(argv[1]) + " line " + std::to_string(number) + ": ";
        std::smatch match;
        if (std::regex_match(line, skipped))
            continue;
        if (!std::regex_match(line, match, keycode_line))
            return fail(where + "expected \"keycode NUMBER = KEY\" (one plain key, no modifiers), got \"" + line + "\"");
        const unsigned long keycode = std::stoul(match[1]);
        if (keycode > 0xffff)
            return fail(where + "key code " + match[1].str() + " is beyond 65535");
        const auto key = known_keys.find(match[2]);
        if (key == known_keys.end()) {
            std::string names;
            for (const auto& [name, unused] : known_keys)
                names += " " + name;
            return fail(where + "unknown key \"" + match[2].str() + "\"; known keys:" + names);
        }
        // Qt would take the first and silently drop the second.
        const auto [earlier, fresh] = first_line.emplace(keycode, number);
        if (!fresh)
            return fail(where + "key code " + match[1].str() + " is already mapped on line " + std::to_string(earlier->second));
        mappings.push_back({static_cast<std::uint16_t>(keycode), key->second});
    }
    if (mappings.empty())
        return fail(std::string(argv[1]) + " maps no keys; Qt refuses an empty keymap");

    const std::string bytes = qmap_bytes(mappings);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
        std::remove(argv[2]);
        return fail(std::string("cannot write ") + argv[2]);
    }
    return 0;
}
