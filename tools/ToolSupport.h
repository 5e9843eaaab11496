#pragma once
// What korvale-tool's commands share: exit codes, messages, and reading an input once.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CSrb.h"
#include "Image.h"

namespace korvale::tool {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
inline constexpr int kDamaged = 3;  // loaded, but with levels rejected or cut short

// "korvale-tool: FILE: REASON" on standard error; returns kFailed.
int Fail(const std::string& file, const std::string& reason);
// The message and a pointer to --help on standard error; returns kUsage.
int UsageError(const std::string& message);

[[nodiscard]] bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// The whole of a file, or of standard input for "-", read once: a pipe can be read only once,
// and the tag that tells an SRB file from a MIP file is at its start. Empty with error set when
// it cannot be read.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path,
                                                                 std::string& error);

enum class InputKind { kSrb, kMip };

// Loads an SRB or MIP file into record from bytes already read, the loaders printing their trace
// unless quiet. Empty on success, the reason otherwise.
[[nodiscard]] std::string LoadRecord(const std::string& path,
                                     const std::vector<std::uint8_t>& bytes, bool quiet,
                                     CSrb& record, InputKind& kind);

// Saves record to out: an SRB file and its companion when asSrb, else its mip set alone. Empty
// on success; otherwise "could not be saved: " with the reason and what was left unchanged.
[[nodiscard]] std::string SaveRecord(CSrb& record, const std::string& out, bool asSrb);

// Whether bytes start with the PNG signature.
[[nodiscard]] bool IsPng(std::span<const std::uint8_t> bytes);

// Standard output sent to /dev/null while it lives, for the loaders' trace where it would only
// be noise (JSON output, commands that print their own summary).
class QuietStdout {
  public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

  private:
    int saved_ = -1;
};

// A float option: the text as a number from low to high, or nothing.
[[nodiscard]] std::optional<float> ParseNumber(const std::string& text, float low, float high);
[[nodiscard]] std::optional<int> ParseInt(const std::string& text, int low, int high);

}  // namespace korvale::tool
