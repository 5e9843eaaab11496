#include "Progress.h"

#include <unistd.h>

#include <cstdio>

#include "WorkQueue.h"

namespace korvale::tool {

std::size_t RunWithProgress(std::size_t count, int threads, const char* progress,
                            const std::function<Status(std::size_t)>& work) {
    const bool showProgress = progress != nullptr && ::isatty(STDERR_FILENO) != 0;
    const std::size_t failed =
        RunEach(count, threads, work, [&](const Status& status, std::size_t done) {
            if (!status) {
                std::fprintf(stderr, "%skorvale-tool: %s\n", showProgress ? "\r\033[K" : "",
                             status.Text().c_str());
            }
            if (showProgress) {
                std::fprintf(stderr, "\r\033[K%s: %zu of %zu", progress, done, count);
            }
        });
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }
    return failed;
}

}  // namespace korvale::tool
