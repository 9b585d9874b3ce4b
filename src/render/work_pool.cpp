#include "work_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A pool never grows beyond this: bands of a view run out long before.
constexpr int kMaxThreads = 16;

class WorkPool {
public:
    WorkPool()
    {
        const int workers = std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads) - 1;
        for (int i = 0; i < workers; ++i) _workers.emplace_back([this] { serve(); });
    }
    ~WorkPool()
    {
        {
            const std::lock_guard lock(_mutex);
            _stopping = true;
        }
        _wake.notify_all();
        for (std::thread& t : _workers) t.join();
    }
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    int threads() const { return int(_workers.size()) + 1; }

    void run(int count, const std::function<void(int)>& job, int threads)
    {
        std::unique_lock busy(_running, std::try_to_lock);
        const int helpers = std::min({threads - 1, int(_workers.size()), count - 1});
        if (!busy.owns_lock() || helpers <= 0) {
            for (int i = 0; i < count; ++i) job(i);
            return;
        }
        {
            const std::lock_guard lock(_mutex);
            _job = &job;
            _count = count;
            _next = 0;
            _seats = helpers;
            _active = 0;
            ++_round;
        }
        _wake.notify_all();
        take_parts(job, count);
        std::unique_lock lock(_mutex);
        // Every part has been taken: seats nobody took yet are withdrawn, so that no worker
        // joins this round late, and the helpers still finishing their parts are waited for.
        _seats = 0;
        _done.wait(lock, [this] { return _active == 0; });
        _job = nullptr;
    }

private:
    void take_parts(const std::function<void(int)>& job, int count)
    {
        for (int i = _next.fetch_add(1); i < count; i = _next.fetch_add(1)) job(i);
    }

    void serve()
    {
        unsigned long seen = 0;
        std::unique_lock lock(_mutex);
        for (;;) {
            _wake.wait(lock, [&] { return _stopping || (_round != seen && _seats > 0); });
            if (_stopping) return;
            seen = _round;
            --_seats;
            ++_active;
            const std::function<void(int)>& job = *_job;
            const int count = _count;
            lock.unlock();
            take_parts(job, count);
            lock.lock();
            --_active;
            _done.notify_all();
        }
    }

    std::vector<std::thread> _workers;
    std::mutex _running; // held by the one call using the workers
    std::mutex _mutex;
    std::condition_variable _wake, _done;
    const std::function<void(int)>* _job = nullptr;
    int _count = 0;
    std::atomic<int> _next{0};
    int _seats = 0, _active = 0;
    unsigned long _round = 0;
    bool _stopping = false;
};

WorkPool& pool()
{
    static WorkPool shared;
    return shared;
}

} // namespace

void run_parts(int count, const std::function<void(int)>& job, int threads)
{
    if (count <= 0) return;
    WorkPool& p = pool();
    p.run(count, job, threads > 0 ? threads : p.threads());
}

int core_count() { return pool().threads(); }
