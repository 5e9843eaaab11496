#pragma once
// How korvale-tool tells people what happened: failures, warnings and usage errors on standard
// error, each line starting "korvale-tool: ".

#include <string>

#include "LoadReport.h"
#include "Status.h"

namespace korvale::tool {

// "korvale-tool: FILE: REASON" on standard error; returns kFailed.
int Fail(const Status& status);
int Fail(const std::string& file, const std::string& reason);
// "korvale-tool: FILE: TEXT" on standard error, for what does not stop the command.
void Warn(const std::string& file, const std::string& text);
// The message and a pointer to --help on standard error; returns kUsage.
int UsageError(const std::string& message);

// Says on standard error what the last load of path found wrong, one line per finding, and
// returns kDamaged; returns kOk, saying nothing, when it loaded cleanly.
int ReportDamage(const std::string& path, const LoadReport& report);

// A PNG for out "-" when standard output is a terminal is refused, as compressors refuse, unless
// forced: it would fill the screen with bytes. kOk, or kFailed after saying so.
int RefusePictureToTerminal(const std::string& out, bool force);

}  // namespace korvale::tool
