#pragma once
// The one way Korvale's own code says whether something worked: success, or what failed with the
// system's reason, the file it concerns and, for a fault inside a file, its offset. The caller
// decides where it goes (a message, a tooltip, a JSON field); Text() says it in one line.

#include <string>

namespace korvale {

class [[nodiscard]] Status {
  public:
    // Success.
    Status() = default;

    // A failure: what failed and why, in lower case ("cannot open: No such file or directory").
    [[nodiscard]] static Status Failure(std::string reason, long offset = -1);
    // A failure the system reported: "what: <the system's text for error>".
    [[nodiscard]] static Status FromErrno(const std::string& what, int error);

    // The same status said of file, unless it names one already.
    [[nodiscard]] Status In(const std::string& file) &&;

    [[nodiscard]] bool Ok() const { return reason_.empty(); }
    explicit operator bool() const { return Ok(); }
    [[nodiscard]] const std::string& Reason() const { return reason_; }
    [[nodiscard]] const std::string& File() const { return file_; }
    [[nodiscard]] long Offset() const { return offset_; }
    // "FILE: REASON" ("REASON" with no file), with " at offset N" where there is one.
    [[nodiscard]] std::string Text() const;

  private:
    std::string reason_;
    std::string file_;
    long offset_ = -1;
};

}  // namespace korvale
