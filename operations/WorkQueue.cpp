#include "WorkQueue.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace korvale {

std::size_t RunEach(std::size_t count, int threads, const std::function<Status(std::size_t)>& work,
                    const std::function<void(const Status&, std::size_t)>& finished) {
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::size_t failed = 0;
    std::mutex lock;
    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            const Status status = work(i);
            const std::scoped_lock guard(lock);
            ++done;
            if (!status) {
                ++failed;
            }
            if (finished) {
                finished(status, done);
            }
        }
    };
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    // A WebAssembly build without threads cannot start one: everything runs here, in order.
    const std::size_t wanted = 1;
    (void)threads;
#else
    const auto wanted = static_cast<std::size_t>(std::max(1, threads));
#endif
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(wanted, count); ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }
    return failed;
}

}  // namespace korvale
