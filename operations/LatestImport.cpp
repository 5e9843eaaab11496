#include "LatestImport.h"

#include <utility>

namespace korvale {

LatestImport::LatestImport(const Image& picture, Ready ready)
    : LatestImport([&picture](const ImportOptions& options,
                              CMip& mip) { return ImportImage(picture, options, mip); },
                   std::move(ready)) {}

LatestImport::LatestImport(Work work, Ready ready)
    : work_(std::move(work)), ready_(std::move(ready)), thread_([this] { Run(); }) {}

LatestImport::~LatestImport() {
    {
        const std::scoped_lock guard(lock_);
        stopping_ = true;
        waiting_.reset();
    }
    changed_.notify_all();
    thread_.join();
}

std::uint64_t LatestImport::Ask(ImportOptions options) {
    std::uint64_t request = 0;
    std::optional<Made> dropped;  // freed outside the lock: a large set takes a moment
    {
        const std::scoped_lock guard(lock_);
        request = ++newest_;
        waiting_ = std::move(options);
        dropped = std::exchange(made_, std::nullopt);
    }
    changed_.notify_all();
    return request;
}

void LatestImport::Forget() {
    std::optional<Made> dropped;
    {
        const std::scoped_lock guard(lock_);
        ++newest_;  // a request never asked for: whatever runs is no longer the newest
        waiting_.reset();
        dropped = std::exchange(made_, std::nullopt);
    }
    changed_.notify_all();
}

std::uint64_t LatestImport::Newest() const {
    const std::scoped_lock guard(lock_);
    return newest_;
}

bool LatestImport::Busy() const {
    const std::scoped_lock guard(lock_);
    return waiting_.has_value() || running_ != 0;
}

std::optional<LatestImport::Made> LatestImport::TakeLocked(std::uint64_t request) {
    if (request != newest_ || !made_ || made_->request != request) {
        return std::nullopt;
    }
    return std::exchange(made_, std::nullopt);
}

std::optional<LatestImport::Made> LatestImport::Take(std::uint64_t request) {
    const std::scoped_lock guard(lock_);
    return TakeLocked(request);
}

std::optional<LatestImport::Made> LatestImport::Wait(std::uint64_t request) {
    std::unique_lock guard(lock_);
    // Waiting only while request is the newest: an older one is never made, or made and dropped.
    changed_.wait(guard, [&] {
        return stopping_ || request != newest_ || (!waiting_ && running_ != request);
    });
    return TakeLocked(request);
}

void LatestImport::Run() {
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return stopping_ || waiting_.has_value(); });
        if (stopping_) {
            return;
        }
        const ImportOptions options = std::move(*waiting_);
        waiting_.reset();
        const std::uint64_t request = newest_;
        running_ = request;
        guard.unlock();
        Made made{request, Status(), CMip()};
        made.status = work_(options, made.mip);
        guard.lock();
        running_ = 0;
        // Newer options asked for meanwhile: this result is nobody's any more.
        const bool current = request == newest_ && !stopping_;
        if (current) {
            made_ = std::move(made);
        }
        changed_.notify_all();
        if (current && ready_) {
            guard.unlock();
            ready_(request);
            guard.lock();
        } else if (!current) {
            guard.unlock();
            made = Made();  // the stale set freed without holding up the other thread
            guard.lock();
        }
    }
}

}  // namespace korvale
