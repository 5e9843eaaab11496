#pragma once
// korvale-tool's command lines: one parser for every command, and its number options read as
// the editor reads its fields.

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "BatchInputs.h"

namespace korvale::tool {

[[nodiscard]] bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// One option a command takes: its long name, an optional short one, and whether a value follows.
struct OptionRule {
    std::string_view name;
    std::string_view alias;
    bool takesValue = false;
    bool repeatable = false;  // may be given more than once (otherwise a second one is refused)
};

// A command line taken apart by ParseArgs.
struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>, std::less<>> values;  // by long name
    bool quiet = false;  // -q, --quiet: errors only
    bool force = false;  // -f, --force: existing outputs may be replaced

    [[nodiscard]] bool Has(std::string_view name) const { return values.contains(name); }
    // The last value given for an option, or nothing.
    [[nodiscard]] std::optional<std::string> Value(std::string_view name) const;
};

// Takes args apart by the command's options plus the common ones (-q/--quiet, and -f/--force
// when the command writes). "-" alone is an operand (standard input or output) and "--" ends the
// options. An unknown option or a missing value is a usage error, printed, and gives nothing.
[[nodiscard]] std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                                  std::span<const OptionRule> rules, bool writes);

// A whole-number or decimal option from low to high into value, left as it is when the option
// is not given. kOk, or kUsage after printing "NAME takes a number from LOW to HIGH, not 'X'"
// (what names the number where "a number" says too little).
int IntOption(const ParsedArgs& args, std::string_view name, int low, int high, int& value,
              std::string_view what = "a number");
int NumberOption(const ParsedArgs& args, std::string_view name, float low, float high, float& value,
                 std::string_view what = "a number");

// -j N: how many threads a batch runs on (default: every core); a usage error, printed, when
// the number is bad or there is no batch. kOk or kUsage.
int ReadThreads(const ParsedArgs& args, bool batch, int& threads);

// A batch's inputs (the operands, each file once; with -r/--recursive the files of the given
// extensions under the folders given). Each folder that cannot be walked, and without -r each
// folder given, is printed as a failure and counted in failed.
[[nodiscard]] std::vector<BatchInput> BatchInputsOf(const ParsedArgs& args,
                                                    std::span<const std::string_view> extensions,
                                                    std::size_t& failed);

// A number option: the text, read as the editor reads its fields, from low to high; or nothing.
[[nodiscard]] std::optional<float> ParseNumber(const std::string& text, float low, float high);
[[nodiscard]] std::optional<int> ParseInt(const std::string& text, int low, int high);

}  // namespace korvale::tool
