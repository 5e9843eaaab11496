#include "Messages.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "ExitStatus.h"

namespace korvale::tool {

int Fail(const Status& status) {
    std::fflush(stdout);
    std::fprintf(stderr, "korvale-tool: %s\n", status.Text().c_str());
    return kFailed;
}

int Fail(const std::string& file, const std::string& reason) {
    return Fail(Status::Failure(reason).In(file));
}

void Warn(const std::string& file, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "korvale-tool: %s: %s\n", file.c_str(), text.c_str());
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "korvale-tool: %s\n(see korvale-tool --help)\n", message.c_str());
    return kUsage;
}

int ReportDamage(const std::string& path, const LoadReport& report) {
    if (report.Clean()) {
        return kOk;
    }
    const std::string summary = report.Summary();
    std::size_t at = 0;
    while (at <= summary.size()) {
        const std::size_t end = std::min(summary.find('\n', at), summary.size());
        Warn(path, summary.substr(at, end - at));
        at = end + 1;
    }
    return kDamaged;
}

int RefusePictureToTerminal(const std::string& out, bool force) {
    if (out != "-" || force || ::isatty(STDOUT_FILENO) == 0) {
        return kOk;
    }
    return Fail("standard output",
                "is a terminal: a PNG is not written to it (redirect it to a file or a pipe, or "
                "--force)");
}

}  // namespace korvale::tool
