#pragma once
// What korvale-tool's commands share: exit codes, messages, one option parser, reading an input
// once, and the rules for outputs (never "-" unless a command streams, never over an existing
// file unless forced, never two inputs to one output).

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CSrb.h"
#include "Image.h"
#include "Status.h"

namespace korvale::tool {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
inline constexpr int kDamaged = 3;  // loaded, but with levels rejected or cut short

// The worse of two exit statuses, for a command over many files: a usage error, then a failure,
// then damage, then success.
[[nodiscard]] int Worse(int a, int b);

// "korvale-tool: FILE: REASON" on standard error; returns kFailed.
int Fail(const Status& status);
int Fail(const std::string& file, const std::string& reason);
// "korvale-tool: FILE: TEXT" on standard error, for what does not stop the command.
void Warn(const std::string& file, const std::string& text);
// The message and a pointer to --help on standard error; returns kUsage.
int UsageError(const std::string& message);

[[nodiscard]] bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// One option a command takes: its long name, an optional short one, and whether a value follows.
struct OptionRule {
    std::string_view name;
    std::string_view alias;
    bool takesValue = false;
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

// The whole of a file, or of standard input for "-", read once into bytes: a pipe can be read
// only once, and the tag that tells an SRB file from a MIP file is at its start.
Status ReadInput(const std::string& path, std::vector<std::uint8_t>& bytes);

enum class InputKind { kSrb, kMip };

// Loads an SRB or MIP file into record from bytes already read, the loaders printing their trace
// unless quiet.
Status LoadRecord(const std::string& path, const std::vector<std::uint8_t>& bytes, bool quiet,
                  CSrb& record, InputKind& kind);
// Reads path once and loads it, without the trace.
Status LoadRecordFile(const std::string& path, CSrb& record, InputKind& kind);

// The palette a file offers for --palette FILE: a PNG picture's (indexed, or of at most 16
// colours) or the first palettised level's of a MIP or SRB file, whose load report goes to
// report. A failure names the file and says why there is no palette.
Status ReadPaletteFile(const std::string& path, std::vector<Rgba8>& colours, LoadReport& report);

// Says on standard error what the last load of path found wrong, one line per finding, and
// returns kDamaged; returns kOk, saying nothing, when it loaded cleanly.
int ReportDamage(const std::string& path, const LoadReport& report);

// Whether out may be written: not "-" where a command writes files (a usage error, usage set),
// nor an existing file without --force. For an SRB output its companion counts too.
Status CheckOutput(const std::string& out, bool asSrb, bool force, bool& usage);

// Saves record to out: an SRB file and its companion when asSrb, else its mip set alone. A
// failure says "could not be saved: " with the reason and what was left unchanged.
Status SaveRecord(CSrb& record, const std::string& out, bool asSrb);

// The levels a save of mip will change the colours of, as a sentence, or empty when none.
[[nodiscard]] std::string RecolourWarning(const CMip& mip);

// Inputs that would write the same output (or the same SRB companion), each with a failure
// naming every input of its group and the output. outputsOf gives an input's output paths.
[[nodiscard]] std::map<std::string, Status> Clashes(
    const std::vector<std::string>& inputs, const std::vector<std::vector<std::string>>& outputsOf);

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

// Runs work(i) for i = 0 .. count - 1 on up to threads threads. Each failure is printed as it
// comes, with a progress line on a terminal while progress is given ("importing",
// "exporting"). Returns how many failed.
[[nodiscard]] std::size_t RunEach(std::size_t count, int threads, const char* progress,
                                  const std::function<Status(std::size_t)>& work);

// A number option: the text, read as the editor reads its fields, from low to high; or nothing.
[[nodiscard]] std::optional<float> ParseNumber(const std::string& text, float low, float high);
[[nodiscard]] std::optional<int> ParseInt(const std::string& text, int low, int high);

}  // namespace korvale::tool
