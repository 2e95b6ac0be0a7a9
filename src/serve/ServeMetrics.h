#pragma once
// The service's counters, given out in Prometheus' text format.
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

struct MetricGauges {
    int Queued = 0;
    int Busy = 0;
    int CoversCached = 0;
    bool Ready = false;
    int Connections = 0; // open, being read or answered
    std::int64_t MemoryEstimated = 0; // the estimates of the requests being drawn
    std::int64_t MemoryLimit = 0;     // --max-memory
};

class ServeMetrics {
public:
    void Request(int status, std::uint64_t bytesIn, std::uint64_t bytesOut);
    void RenderSeconds(double seconds);
    std::string Text(const MetricGauges& gauges) const;
    std::uint64_t Requests() const { return requests_.load(); }

    // Upper bounds of the render histogram's buckets, in seconds (+Inf after).
    static constexpr std::array<double, 10> Buckets = {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60};

private:
    mutable std::mutex mutex_;
    std::map<int, std::uint64_t> byStatus_;
    std::array<std::uint64_t, Buckets.size() + 1> renderCounts_{};
    double renderSum_ = 0;
    std::uint64_t bytesIn_ = 0;
    std::uint64_t bytesOut_ = 0;
    std::atomic<std::uint64_t> requests_{0};
};
