#include "app/options.h"

#include <cstring>

#include "util/printable.h"

const char GAME_USAGE[] =
    "usage: canopy-hollow [--seed N] [--record FILE [--force]]\n"
    "       canopy-hollow --resume FILE\n"
    "       canopy-hollow --replay FILE\n"
    "  --seed N       play world N (0 to 4294967295) instead of one chosen by the clock\n"
    "  --record FILE  write the game down as it is played, for canopy-sim --replay FILE\n"
    "  --force        let --record replace a file that exists already\n"
    "  --resume FILE  go on with the game recorded in FILE, writing on in it: keep a\n"
    "                 colony by starting it with --record and going on with --resume\n"
    "  --replay FILE  show the game recorded in FILE at the pace it was played; a key\n"
    "                 stops it, and its last picture stays until a key\n"
    "  --help         show this text and exit\n"
    "  --version      show the version and exit\n";

namespace {

Options usage_error(std::string message) {
    Options options;
    options.action = Options::Action::usage_error;
    options.error = std::move(message);
    return options;
}

}  // namespace

Options parse_options(int argc, const char* const* argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // "--name=value" and "--name value" both give a value.
        const std::size_t equals = arg.find('=');
        const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, equals) : arg;
        auto value = [&]() -> const char* {
            if (equals != std::string::npos && name != arg) {
                return argv[i] + equals + 1;
            }
            return i + 1 < argc ? argv[++i] : nullptr;
        };
        if (arg == "--help" || arg == "-h") {
            options.action = Options::Action::help;
            return options;
        }
        if (arg == "--version") {
            options.action = Options::Action::version;
            return options;
        }
        if (name == SEED_OPTION.name) {
            const char* text = value();
            if (text == nullptr) {
                return usage_error(std::string(SEED_OPTION.name) + " needs " + SEED_OPTION.what);
            }
            std::string error;
            const std::optional<std::uint64_t> seed = parse_number_option(SEED_OPTION, text, error);
            if (!seed) {
                return usage_error(error);
            }
            options.seed = static_cast<std::uint32_t>(*seed);
            continue;
        }
        if (name == "--record") {
            const bool attached = equals != std::string::npos;
            const char* path = value();
            if (path == nullptr || *path == '\0') {
                return usage_error("--record needs a file name");
            }
            // "--record --force" forgot the name; "--record=--odd" means it.
            if (!attached && std::strncmp(path, "--", 2) == 0) {
                return usage_error("--record needs a file name, not the option " +
                                   quoted_word(path));
            }
            options.record = path;
            continue;
        }
        if (name == "--resume" || name == "--replay") {
            const char* path = value();
            if (path == nullptr || *path == '\0') {
                return usage_error(name + " needs a file name");
            }
            (name == "--resume" ? options.resume : options.replay) = path;
            continue;
        }
        if (arg == "--force") {
            options.force = true;
            continue;
        }
        return usage_error("unknown option " + quoted_word(arg));
    }
    if (options.replay && (options.seed || options.record || options.force || options.resume)) {
        return usage_error("--replay goes alone: its file holds the game");
    }
    if (options.resume && (options.seed || options.record || options.force)) {
        return usage_error("--resume goes alone: its file holds the game");
    }
    if (options.force && !options.record) {
        return usage_error("--force goes with --record");
    }
    return options;
}

std::optional<std::uint64_t> parse_number_option(const NumberOption& option, std::string_view text,
                                                 std::string& error) {
    std::uint64_t value = 0;
    bool good = !text.empty();
    for (const char c : text) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (c < '0' || c > '9' || digit > option.maximum || value > (option.maximum - digit) / 10) {
            good = false;
            break;
        }
        value = value * 10 + digit;
    }
    if (good) {
        return value;
    }
    error = std::string(option.name) + " takes " + option.what + " from 0 to " +
            std::to_string(option.maximum) + ", not " + quoted_word(text);
    return std::nullopt;
}
