#pragma once
// Imports for a preview that follows a user's changes of options, run on a thread of their own so
// the thread that shows them never waits. Only the newest request counts: one asked for while an
// import runs waits, replacing any request still waiting, so the thread never works through a
// backlog of options the user has already left; a result that is no longer the newest request's
// is dropped on the import's thread and never handed out.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "CMip.h"
#include "Image.h"
#include "Importer.h"
#include "Status.h"

namespace korvale {

class LatestImport {
  public:
    // One import as it is run: by options into mip (ImportImage of the picture, or a stand-in).
    using Work = std::function<Status(const ImportOptions& options, CMip& mip)>;
    // Called on the import's thread when request's result is ready to be taken. It must not call
    // back into this object's Wait() (the front end posts a message to its own thread instead).
    using Ready = std::function<void(std::uint64_t request)>;

    struct Made {
        std::uint64_t request = 0;
        Status status;
        CMip mip;  // the set made, when status is a success
    };

    // Imports picture, which must outlive this object.
    LatestImport(const Image& picture, Ready ready);
    LatestImport(Work work, Ready ready);
    // Drops the waiting request and waits for the running import to end (an import cannot stop
    // halfway), dropping its result: nothing runs or is reported once this returns.
    ~LatestImport();
    LatestImport(const LatestImport&) = delete;
    LatestImport& operator=(const LatestImport&) = delete;

    // Asks for an import by options; returns the request's number, counting from 1. A result
    // not yet taken is dropped: it is no longer the newest request's.
    std::uint64_t Ask(ImportOptions options);
    // No result is wanted any more: the waiting request is dropped, and so is the result of the
    // running one when it ends. Returns at once.
    void Forget();
    // The newest request's number, 0 before the first.
    [[nodiscard]] std::uint64_t Newest() const;
    // Whether an import runs or waits to run.
    [[nodiscard]] bool Busy() const;
    // request's result when it is ready and request is still the newest; it is handed out once.
    [[nodiscard]] std::optional<Made> Take(std::uint64_t request);
    // The same, first waiting for request's import to end; nothing when a newer request has
    // replaced it or its result was taken already.
    [[nodiscard]] std::optional<Made> Wait(std::uint64_t request);

  private:
    void Run();
    [[nodiscard]] std::optional<Made> TakeLocked(std::uint64_t request);

    Work work_;
    Ready ready_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t newest_ = 0;
    std::optional<ImportOptions> waiting_;  // the newest request's options, until it starts
    std::uint64_t running_ = 0;             // the request being imported, 0 when none
    std::optional<Made> made_;              // the newest request's result, until taken
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once everything it uses is in place
};

}  // namespace korvale
