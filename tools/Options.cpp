#include "Options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <thread>

#include "ExitStatus.h"
#include "Messages.h"
#include "ValueText.h"

namespace korvale::tool {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(),
                      text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
    const auto found = values.find(name);
    if (found == values.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                    std::span<const OptionRule> rules, bool writes) {
    ParsedArgs parsed;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
        } else if (arg == "-q" || arg == "--quiet") {
            parsed.quiet = true;
        } else if (writes && (arg == "-f" || arg == "--force")) {
            parsed.force = true;
        } else {
            const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) {
                return arg == r.name || (!r.alias.empty() && arg == r.alias);
            });
            if (rule == rules.end()) {
                (void)UsageError("unknown option '" + arg + "'");
                return std::nullopt;
            }
            std::vector<std::string>& values = parsed.values[std::string(rule->name)];
            if (rule->takesValue) {
                if (i + 1 >= args.size()) {
                    (void)UsageError(arg + " needs a value");
                    return std::nullopt;
                }
                if (!values.empty() && !rule->repeatable) {
                    (void)UsageError(std::string(rule->name) + " given twice ('" + values.back() +
                                     "' and '" + args[i + 1] + "')");
                    return std::nullopt;
                }
                values.push_back(args[++i]);
            }
        }
    }
    return parsed;
}

std::vector<BatchInput> BatchInputsOf(const ParsedArgs& args,
                                      std::span<const std::string_view> extensions,
                                      std::size_t& failed) {
    const bool recursive = args.Has("--recursive");
    BatchInputs collected = CollectInputs(args.positional, recursive, extensions);
    for (const Status& problem : collected.problems) {
        (void)Fail(problem);
        ++failed;
    }
    std::vector<BatchInput> inputs;
    for (BatchInput& input : collected.inputs) {
        std::error_code ec;
        if (!recursive && input.path != "-" && std::filesystem::is_directory(input.path, ec)) {
            (void)Fail(input.path, "is a folder; -r (--recursive) takes the files in it");
            ++failed;
            continue;
        }
        inputs.push_back(std::move(input));
    }
    return inputs;
}

namespace {

template <typename Number, typename Parse>
int ReadOption(const ParsedArgs& args, std::string_view name, Number low, Number high,
               Number& value, std::string_view what, Parse parse) {
    const auto text = args.Value(name);
    if (!text) {
        return kOk;
    }
    const auto parsed = parse(*text, low, high);
    if (!parsed) {
        std::ostringstream message;
        message << name << " takes " << what << " from " << low << " to " << high << ", not '"
                << *text << "'";
        return UsageError(message.str());
    }
    value = *parsed;
    return kOk;
}

}  // namespace

int IntOption(const ParsedArgs& args, std::string_view name, int low, int high, int& value,
              std::string_view what) {
    return ReadOption(args, name, low, high, value, what, ParseInt);
}

int NumberOption(const ParsedArgs& args, std::string_view name, float low, float high, float& value,
                 std::string_view what) {
    return ReadOption(args, name, low, high, value, what, ParseNumber);
}

int ReadThreads(const ParsedArgs& args, bool batch, int& threads) {
    threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    if (args.Has("-j") && !batch) {
        return UsageError("-j goes with -o DIR");
    }
    return IntOption(args, "-j", 1, 256, threads, "a number of threads");
}

std::optional<float> ParseNumber(const std::string& text, float low, float high) {
    const std::optional<float> value = TextToFloat(text);
    if (!value || !std::isfinite(*value) || *value < low || *value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale::tool
