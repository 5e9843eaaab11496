#include "Status.h"

#include <cstring>
#include <utility>

namespace korvale {

Status Status::Failure(std::string reason, long offset) {
    Status status;
    status.reason_ = reason.empty() ? std::string("failed") : std::move(reason);
    status.offset_ = offset;
    return status;
}

Status Status::FromErrno(const std::string& what, int error) {
    return Failure(what + ": " + std::strerror(error));
}

Status Status::In(const std::string& file) && {
    if (!Ok() && file_.empty()) {
        file_ = file;
    }
    return std::move(*this);
}

std::string Status::Text() const {
    std::string text = file_.empty() ? reason_ : file_ + ": " + reason_;
    if (offset_ >= 0) {
        text += " at offset " + std::to_string(offset_);
    }
    return text;
}

}  // namespace korvale
