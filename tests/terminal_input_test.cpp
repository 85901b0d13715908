// The terminal's bytes as key presses: keys in every form terminals send them, and
// everything else a terminal sends (reports, mouse, pastes) consumed whole, whatever
// its length and however the reads split it.
#include "platform/curses/terminal_input.h"

#include <gtest/gtest.h>

#include "platform/curses/key_queue.h"

#include <algorithm>
#include <array>
#include <cstdio>
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
    static const std::pair<int, const char*> names[] = {
        {VKEY_UP, "Up"},        {VKEY_DOWN, "Down"},   {VKEY_LEFT, "Left"},
        {VKEY_RIGHT, "Right"},  {VKEY_HOME, "Home"},   {VKEY_END, "End"},
        {VKEY_PRIOR, "PgUp"},   {VKEY_NEXT, "PgDn"},   {VKEY_INSERT, "Ins"},
        {VKEY_DELETE, "Del"},   {VKEY_CLEAR, "Clear"}, {VKEY_TAB, "Tab"},
        {VKEY_RETURN, "Enter"}, {VKEY_ESCAPE, "Esc"},  {VKEY_PROCESSKEY, "Text"},
    };
    if (press.character >= 32 && press.character <= 126) {
        return std::string(1, static_cast<char>(press.character));
    }
    for (const auto& [key, name] : names) {
        if (press.virtual_key == key) {
            return name;
        }
    }
    const int function = press.virtual_key - VKEY_F1 + 1;
    return function >= 1 && function <= 12 ? "F" + std::to_string(function)
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

TEST(TerminalInput, KeysInEveryFormTerminalsSendThem) {
    const std::pair<const char*, const char*> keys[] = {
        // Cursor keys in normal and application mode, with modifiers, rxvt's shifted.
        {"\033[A\033[B\033[C\033[D", "Up Down Right Left"},
        {"\033OA\033OB\033OC\033OD", "Up Down Right Left"},
        {"\033[1;5A\033[1;2D\033O5C\033[b", "Up Left Right Down"},
        // Home and End as xterm, tmux, screen, the Linux console and rxvt send them.
        {"\033[H\033[F\033OH\033OF", "Home End Home End"},
        {"\033[1~\033[4~\033[7~\033[8~\033[1;5H\033[7^\033[8$", "Home End Home End Home Home End"},
        // Page keys, Insert and Delete, bare and modified.
        {"\033[5~\033[6~\033[5;5~\033[2~\033[3~\033[3;2~", "PgUp PgDn PgUp Ins Del Del"},
        // F1..F12: SS3, vt220, the Linux console, modified; F13 and up are F1 and up.
        {"\033OP\033OQ\033OR\033OS", "F1 F2 F3 F4"},
        {"\033[11~\033[12~\033[13~\033[14~\033[[A\033[[E", "F1 F2 F3 F4 F1 F5"},
        {"\033[15~\033[17~\033[18~\033[19~\033[20~\033[21~\033[23~\033[24~",
         "F5 F6 F7 F8 F9 F10 F11 F12"},
        {"\033[1;2P\033[1;5S\033O2Q\033[25~\033[34~", "F1 F4 F2 F1 F8"},
        // The keypad in application mode, its centre key and Shift+Tab.
        {"\033Ow\033Ox\033Oy\033Ot\033Ou\033Ov\033Oq\033Or\033Os\033Op\033On",
         "Home Up PgUp Left Clear Right End Down PgDn Ins Del"},
        {"\033OM\033Oj\033Ok\033Om\033Oo\033[E\033[G\033[Z", "Enter * + - / Clear Clear Tab"},
        // Alt+key gives the key, as on a Windows console; Alt with a cursor key.
        {"\033x\033Q\033\r\033\033[A\033\033OD", "x Q Enter Up Left"},
        // Modified characters in xterm's and the character-and-modifier forms.
        {"\033[27;5;97~\033[113;5u", "a q"},
        // 8-bit CSI and SS3 where one byte is one character.
        {"\x9b"
         "A\x8fP",
         "Up F1"},
    };
    for (const auto& [bytes, names] : keys) {
        const bool latin1 = std::string(bytes).find('\x9b') != std::string::npos;
        EXPECT_EQ(keys_of(bytes, !latin1), names) << bytes + 1;
    }
}

// Terminal reports, mouse reports and strings of every family, each followed by "q":
// only the q is a key.
const std::pair<const char*, std::string> not_keys[] = {
    {"CSI device attributes", "\033[?64;1;2;6;9;15;18;21;22c"},
    {"CSI cursor position report", "\033[12;40R"},
    {"CSI with intermediates", "\033[2 q"},
    {"CSI focus in and out", "\033[I\033[O"},
    {"CSI unknown key number", "\033[99~"},
    {"CSI end of a paste that never began", "\033[201~"},
    {"SS3 unknown", "\033Oz"},
    {"OSC ended by BEL", "\033]11;rgb:0000/0000/0000\a"},
    {"OSC ended by ESC backslash", "\033]0;title\033\\"},
    {"OSC ended by 8-bit ST", "\033]0;title\xc2\x9c"},
    {"DCS", "\033P1$r0;1m\033\\"},
    {"SOS", "\033Xanything\033\\"},
    {"PM", "\033^privacy\033\\"},
    {"APC", "\033_Gi=1;OK\033\\"},
    {"X10 mouse report", "\033[M !!"},
    {"X10 mouse report of cursor-key codes", "\033[M%&("},
    {"X10 mouse report beyond column 95, UTF-8 coded", "\033[M \xc3\x80\xc3\x80"},
    {"SGR mouse report", "\033[<0;10;5M\033[<0;10;5m"},
    {"urxvt mouse report", "\033[32;10;5M"},
    {"8-bit CSI",
     "\xc2\x9b"
     "12;40R"},
    {"8-bit OSC",
     "\xc2\x9d"
     "0;title\a"},
};

TEST(TerminalInput, ReportsMouseAndStringsAreConsumedWhole) {
    for (const auto& [family, bytes] : not_keys) {
        EXPECT_EQ(keys_of(bytes + "q"), "q") << family;
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

TEST(TerminalInput, SplitReadsDecodeAsOneRead) {
    std::string stream = "a\033[1;5A\033OP\033[15~\033\033[Bb\xc3\xa9";
    for (const auto& [family, bytes] : not_keys) {
        stream += bytes + "c";
    }
    stream += "\033[200~" + std::string(5000, 'q') + "\033[A\033[201x\033]0;t\a\033[201~d";
    std::string expected = "a Up F1 F5 Down b Text";
    for (std::size_t i = 0; i < std::size(not_keys); ++i) {
        expected += " c";
    }
    expected += " d";
    EXPECT_EQ(keys_of(stream), expected);
    for (const std::size_t chunk : {1, 2, 3, 5, 7, 64, 4096}) {
        EXPECT_EQ(Keys().feed(stream, 0, chunk).settled(), expected) << "reads of " << chunk;
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

TEST(TerminalInput, ControlsCutSequencesShort) {
    const std::pair<const char*, const char*> cases[] = {
        {"\033[1\rq", "Enter q"},        // a control is input of its own
        {"\033[1\x18q", "q"},            // CAN cancels
        {"\033]0;ti\x1aq", "q"},         // SUB ends a string
        {"\033[1\033[Aq", "Up q"},       // a new ESC begins a new sequence
        {"\033]0;ti\033[Bq", "Down q"},  // ESC inside a string, not ST
        {"\033[M \033[Aq", "Up q"},      // a mouse report cut short
        {"\033[1\x7f"
         "Aq",
         "Up q"},  // DEL inside a sequence is ignored
    };
    for (const auto& [bytes, names] : cases) {
        EXPECT_EQ(keys_of(bytes), names) << bytes + 1;
    }
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
