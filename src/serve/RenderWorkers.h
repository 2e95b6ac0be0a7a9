#pragma once
// A fixed number of render workers, each on its own thread with its own
// RenderSession (its GL context and its cover textures kept between
// requests), fed from a bounded queue: a request that finds the queue full
// is turned away at once rather than waiting without end. A job starts only
// when its estimated memory fits beside the jobs being drawn; until then it
// and those behind it wait in the queue.
#include "engine/RenderOptions.h"
#include "formats/ProjectFile.h"
#include "serve/CoverStore.h"

#include <QByteArray>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class RenderSession;

struct RenderJob {
    RenderOptions Options; // covers named by the store's files
    std::optional<ProjectData> Project;
    std::array<std::shared_ptr<const StoredCover>, 6> Covers; // held until drawn
    bool Model = false; // the box as binary glTF ("render --export-model"), not the picture
    std::int64_t PeakBytes = 0; // estimated; held from its start to its end
};

struct RenderAnswer {
    int Status = 200;
    QByteArray Body;   // the picture, or the error's JSON
    double Seconds = 0; // drawing and encoding
};

// A queued job and, once drawn, its answer.
class RenderTicket {
public:
    explicit RenderTicket(RenderJob job) : job_(std::move(job)) {}
    // The answer, or nothing when the deadline came first; a job not yet
    // begun is then dropped.
    std::optional<RenderAnswer> Wait(std::chrono::steady_clock::time_point deadline);

private:
    friend class RenderWorkers;
    RenderJob job_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::optional<RenderAnswer> answer_;
    bool abandoned_ = false;
};

class RenderWorkers {
public:
    using Work = std::function<RenderAnswer(RenderSession&, const RenderJob&)>;

    // `warmUp` runs once on each worker before it takes jobs (a first render
    // makes the GL context); a worker whose warm-up throws counts as not ready.
    RenderWorkers(int workers, int queueCapacity, Work work, std::function<void(RenderSession&)> warmUp = {});
    ~RenderWorkers(); // Stop
    RenderWorkers(const RenderWorkers&) = delete;
    RenderWorkers& operator=(const RenderWorkers&) = delete;

    // Nothing when the queue is full or the workers are stopping.
    std::shared_ptr<RenderTicket> Submit(RenderJob job);

    // Workers that are warmed up and have not failed to.
    bool Ready() const;
    int Queued() const;
    int Busy() const;
    int Capacity() const { return capacity_; }

    // Bytes the jobs being drawn may hold together (0: no bound). Set
    // before any job is submitted; a job larger than it is never started
    // until nothing else is drawn (the service refuses such jobs first).
    void SetMemoryBudget(std::int64_t bytes);
    std::int64_t MemoryInUse() const;

    // Finishes every queued job, then ends the threads.
    void Stop();

private:
    void Run(const std::function<void(RenderSession&)>& warmUp);
    // Under the lock: the front job may start (or is dropped, abandoned).
    bool FrontMayStart() const;

    const int capacity_;
    const int workers_;
    Work work_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<RenderTicket>> queue_;
    int busy_ = 0;
    int ready_ = 0;
    std::int64_t budget_ = 0;
    std::int64_t inUse_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
