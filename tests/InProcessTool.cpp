#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "ToolCommands.h"
#include "ToolRunner.h"

namespace korvale::test {

namespace {

// Points descriptor fd at a temporary file until destroyed, even when the call in between
// throws, so the test's own output is never lost.
class Redirect {
  public:
    explicit Redirect(int fd) : fd_(fd), file_(std::tmpfile()), saved_(::dup(fd)) {
        if (file_ == nullptr || saved_ < 0 || ::dup2(::fileno(file_), fd_) < 0) {
            throw std::runtime_error("cannot redirect a standard stream");
        }
    }
    ~Redirect() {
        Restore();
        if (saved_ >= 0) {
            ::close(saved_);
        }
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

    // Puts the descriptor back and returns everything written to it meanwhile.
    std::string Take() {
        Restore();
        std::string text;
        if (::lseek(::fileno(file_), 0, SEEK_SET) != 0) {
            return text;
        }
        char chunk[4096];
        for (ssize_t n; (n = ::read(::fileno(file_), chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

  private:
    void Restore() {
        if (!restored_) {
            // What stdio still buffers belongs to the redirected call.
            std::fflush(stdout);
            std::fflush(stderr);
            ::dup2(saved_, fd_);
            restored_ = true;
        }
    }
    int fd_;
    std::FILE* file_;
    int saved_;
    bool restored_ = false;
};

}  // namespace

ToolRun InProcess(const std::vector<std::string>& args) {
    // The test's own buffered output goes where it was meant to, before the switch.
    std::fflush(stdout);
    std::fflush(stderr);
    Redirect out(STDOUT_FILENO);
    Redirect err(STDERR_FILENO);
    ToolRun run;
    run.status = RunTool(args);
    run.out = out.Take();
    run.err = err.Take();
    return run;
}

}  // namespace korvale::test
