// The terminal's bytes as key presses: keys in every form terminals send them, and
// everything else a terminal sends (reports, mouse, pastes) consumed whole, whatever
// its length and however the reads split it.
#include "platform/curses/terminal_input.h"

#include <gtest/gtest.h>

#include "platform/curses/key_queue.h"
#include "platform/key_names.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t DELAY = 25;  // the escape delay of every parser here

// A press as the game's key handling would name it: the printable character, else the
// key. Presses that differ only in their character byte read alike only where the game
// cannot tell them apart either.
std::string name_of(const InputEvent& press) {
    if (press.character >= 32 && press.character <= 126) {
        return std::string(1, static_cast<char>(press.character));
    }
    const KeyName* key = key_name_of(press.virtual_key);
    return press.virtual_key == VKEY_PROCESSKEY ? "Text"
           : key != nullptr                     ? key->name
                                                : std::to_string(press.virtual_key);
}

// Collects presses as their names, separated by spaces.
class Keys {
  public:
    explicit Keys(bool utf8 = true, std::uint32_t delay = DELAY) : input_(utf8, delay) {}

    // Feeds bytes at a moment of the clock, in reads of at most `chunk` bytes.
    Keys& feed(const std::string& bytes, std::uint32_t now = 0, std::size_t chunk = 1 << 20) {
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            input_.feed(reinterpret_cast<const unsigned char*>(bytes.data() + at),
                        std::min(chunk, bytes.size() - at), now, &Keys::collect, this);
        }
        return *this;
    }
    Keys& expire(std::uint32_t now) {
        input_.expire(now, &Keys::collect, this);
        return *this;
    }
    // Everything pressed, once the input has been silent long enough to settle.
    std::string settled() { return expire(60 * 1000).taken(); }
    std::string taken() const { return names_; }
    const TerminalInput& input() const { return input_; }

  private:
    static void collect(const InputEvent& press, void* context) {
        auto* self = static_cast<Keys*>(context);
        self->names_ += (self->names_.empty() ? "" : " ") + name_of(press);
    }
    TerminalInput input_;
    std::string names_;
};

std::string keys_of(const std::string& bytes, bool utf8 = true) {
    return Keys(utf8).feed(bytes).settled();
}

TEST(TerminalInput, CharactersBecomeWindowsKeyPresses) {
    // Character, then the character byte and virtual-key code of the press.
    // clang-format off
    const std::array<unsigned, 3> keys[] = {
        // Printable characters name the US key that types them.
        {'a', 'a', 'A'}, {'A', 'A', 'A'}, {' ', ' ', 32}, {'&', '&', '7'}, {'|', '|', 0xDC},
        {'7', '7', '7'}, {'?', '?', 0xBF},
        // Tab, Enter as CR or LF, ESC, Backspace as ^H or DEL, Ctrl+letter, Ctrl+Space.
        {9, 9, 9}, {13, 13, 13}, {10, 13, 13}, {27, 27, 27}, {8, 8, 8}, {127, 8, 8},
        {1, 1, 'A'}, {19, 19, 'S'}, {26, 26, 'Z'}, {0, 0, 32},
        // Beyond ASCII: the Latin-1 byte if any, and a key code no letter has ("Ł" has
        // the low byte of "A").
        {0xE9, 0xE9, 0xE5}, {0x20AC, 0, 0xE5}, {0x141, 0, 0xE5}};
    // clang-format on
    for (const auto& [character, byte, virtual_key] : keys) {
        const InputEvent press = key_of_character(character);
        EXPECT_EQ((std::array<unsigned, 3>{press.key_down, press.character, press.virtual_key}),
                  (std::array<unsigned, 3>{1, byte, virtual_key}))
            << character;
    }
}

// The cases of keys.txt: bytes a terminal sends and the keys they give.
struct Case {
    std::string bytes, names;
    bool latin1;
};

std::vector<Case> key_cases() {
    std::ifstream file(std::string(CANOPY_GOLDEN_DIR) + "/../curses/keys.txt");
    std::vector<Case> cases;
    for (std::string line; std::getline(file, line);) {
        const std::size_t arrow = line.find(" ->");
        if (line.empty() || line[0] == '#' || arrow == std::string::npos) {
            continue;
        }
        Case next{"", line.size() > arrow + 4 ? line.substr(arrow + 4) : "", false};
        next.latin1 = line.rfind("latin1 ", 0) == 0;
        for (std::size_t i = next.latin1 ? 7 : 0; i < arrow; ++i) {
            const char kind = i + 1 < arrow && line[i] == '\\' ? line[i + 1] : '\0';
            const char* simple = kind != '\0' ? std::strchr("\\\\a\ar\r", kind) : nullptr;
            if (kind == '0' || kind == 'x') {  // \033, \xHH
                const bool hex = kind == 'x';
                next.bytes += static_cast<char>(
                    std::stoi(line.substr(i + (hex ? 2 : 1), hex ? 2 : 3), nullptr, hex ? 16 : 8));
                i += 3;
            } else if (simple != nullptr) {
                next.bytes += simple[1];
                ++i;
            } else {
                next.bytes += line[i];
            }
        }
        cases.push_back(next);
    }
    EXPECT_GT(cases.size(), 40u) << "keys.txt not read";
    return cases;
}

TEST(TerminalInput, KeysAndEverythingElseTerminalsSend) {
    std::string stream;
    std::string expected;
    for (const Case& c : key_cases()) {
        const std::string followed = c.names.empty() ? "c" : c.names + " c";
        EXPECT_EQ(keys_of(c.bytes + "c", !c.latin1), followed) << c.bytes.substr(1);
        if (!c.latin1) {
            stream += c.bytes + "c";
            expected += (expected.empty() ? "" : " ") + followed;
        }
    }
    // However the reads split the stream, it reads as one.
    for (const std::size_t chunk : {1, 2, 3, 5, 7, 64, 4096}) {
        EXPECT_EQ(Keys().feed(stream, 0, chunk).settled(), expected) << "reads of " << chunk;
    }
}

TEST(TerminalInput, SequencesOfAnyLengthAreConsumedWhole) {
    // The letters inside would open pages if they leaked: q the quit question, e the elves.
    for (const int length : {0, 1, 63, 64, 65, 70, 100, 1000, 10000}) {
        const std::string digits(length, '1');
        const std::string letters(length, 'q');
        EXPECT_EQ(keys_of("\033[" + digits + "e" + "x"), "x") << "CSI of " << length;
        EXPECT_EQ(keys_of("\033[?" + digits + ";" + digits + "$y" + "x"), "x")
            << "private CSI of " << length;
        EXPECT_EQ(keys_of("\033O" + digits + "e" + "x"), "x") << "SS3 of " << length;
        EXPECT_EQ(keys_of("\033]0;" + letters + "\a" + "x"), "x") << "OSC of " << length;
        EXPECT_EQ(keys_of("\033P" + letters + "\033\\" + "x"), "x") << "DCS of " << length;
        EXPECT_EQ(keys_of("\033_" + letters + "\033\\" + "x"), "x") << "APC of " << length;
        EXPECT_EQ(keys_of("\033[200~" + letters + "\033[201~" + "x"), "x") << "paste of " << length;
    }
}

TEST(TerminalInput, PastesAreDroppedWhole) {
    // A paste of orders, with escape sequences and a false end inside it.
    const std::string orders = "q" + std::string(10000, 'y') + "\033[A\033[201x\033]0;t\a";
    EXPECT_EQ(keys_of("\033[200~" + orders + "\033[201~e"), "e");

    // Reads a second apart stay inside the paste; it ends at its marker.
    Keys slow;
    slow.feed("\033[200~qqq", 0).feed("yyy", 1000).feed("\033[20", 2000).feed("1~e", 2500);
    EXPECT_EQ(slow.taken(), "e") << "paste with pauses";

    // A paste whose end never comes is dropped after two silent seconds.
    Keys lost;
    lost.feed("\033[200~qqq", 0).expire(1999);
    EXPECT_TRUE(lost.input().in_paste()) << "still in the paste after 1999 ms";
    lost.expire(2000).feed("e", 2000);
    EXPECT_EQ(lost.taken(), "e") << "keys after the lost paste";
}

TEST(TerminalInput, EscapeAloneWaitsForTheEscapeDelay) {
    Keys lone;
    lone.feed("\033", 100).expire(100 + DELAY - 1);
    EXPECT_EQ(lone.taken(), "") << "within the delay";
    EXPECT_EQ(lone.input().deadline(), 100 + DELAY);
    lone.expire(100 + DELAY);
    EXPECT_EQ(lone.taken(), "Esc") << "after the delay";

    // Escape pressed several times quickly: one key each.
    EXPECT_EQ(keys_of("\033\033\033"), "Esc Esc Esc");
    // Escape, then a key pressed after the delay: both keys, not Alt+key.
    EXPECT_EQ(Keys().feed("\033", 0).feed("q", DELAY).taken(), "Esc q");
    // Escape twice, then a key at once: one Escape and Alt+key.
    EXPECT_EQ(keys_of("\033\033q"), "Esc q");
    // A sequence that stops is dropped after the delay; what comes later is keys.
    EXPECT_EQ(Keys().feed("\033[12;", 0).feed("5Aq", DELAY).taken(), "5 A q");
    EXPECT_EQ(Keys().feed("\033]0;title", 0).feed("q", DELAY).taken(), "q");
    // A clock that wraps around between the bytes.
    EXPECT_EQ(Keys().feed("\033[", 0xFFFFFFF0u).feed("A", 5).taken(), "Up");
}

TEST(TerminalInput, TextFollowsTheLocale) {
    // UTF-8: one press per character, however split; malformed bytes are one press each.
    EXPECT_EQ(keys_of("\xc3\xa9\xe2\x82\xac"), "Text Text");
    EXPECT_EQ(Keys().feed("\xe2\x82", 0).feed("\xac" + std::string("a"), 1).taken(), "Text a");
    EXPECT_EQ(keys_of("\xff\x80\xc0\xafq"), "Text Text Text Text q");
    EXPECT_EQ(keys_of("\xed\xa0\x80q"), "Text q") << "a surrogate";
    // A character cut short by the escape delay is dropped.
    EXPECT_EQ(Keys().feed("\xc3", 0).feed("q", DELAY).taken(), "q");
    // One byte, one character, where the locale is not UTF-8.
    EXPECT_EQ(keys_of("\xe9\xc3\xa9", false), "Text Text Text");
}

TEST(TerminalInput, WithNoEscapeDelayWhatCameTogetherStaysTogether) {
    EXPECT_EQ(Keys(true, 0).feed("\033[C\033OA\033[1;5B\033x").taken(), "Right Up Down x");
    EXPECT_EQ(Keys(true, 0).feed("\033").expire(0).taken(), "Esc") << "a lone Escape waits not";
}

TEST(KeyQueue, AHeldKeyKeepsTwoPressesWaitingWhileOtherKeysAllWaitInOrder) {
    // Characters typed while the game takes none, then all the game takes.
    const std::pair<std::string, std::string> cases[] = {
        {"llllllll", "ll"},
        {"llrrrrll", "llrrll"},
        {"abcabcabc", "abcabcabc"},
        {std::string(20, 'x') + "y", "xxy"},
        {std::string(40, 'a') + std::string(40, 'b'), "aabb"},
        {[] {
             std::string many;
             for (int i = 0; i < 40; ++i) {
                 many += static_cast<char>('a' + i % 26);
             }
             return many;
         }(),
         "abcdefghijklmnopqrstuvwxyzabcdef"},
    };
    for (const auto& [typed, taken] : cases) {
        KeyQueue queue;
        for (const char c : typed) {
            queue.push(key_of_character(static_cast<unsigned char>(c)));
        }
        std::string took;
        for (InputEvent press{}; queue.pop(&press);) {
            took += static_cast<char>(press.character);
        }
        EXPECT_EQ(took, taken) << typed;
    }
}

}  // namespace
