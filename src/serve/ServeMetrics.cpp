#include "serve/ServeMetrics.h"

#include <cstdio>

void ServeMetrics::Request(int status, std::uint64_t bytesIn, std::uint64_t bytesOut)
{
    {
        const std::lock_guard lock(mutex_);
        ++byStatus_[status];
        bytesIn_ += bytesIn;
        bytesOut_ += bytesOut;
    }
    ++requests_;
}

void ServeMetrics::RenderSeconds(double seconds)
{
    const std::lock_guard lock(mutex_);
    std::size_t i = 0;
    while (i < Buckets.size() && seconds > Buckets[i])
        ++i;
    ++renderCounts_[i];
    renderSum_ += seconds;
}

std::string ServeMetrics::Text(const MetricGauges& g) const
{
    const std::lock_guard lock(mutex_);
    std::string out;
    char line[160];
    const auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        out += line;
    };
    out += "# HELP cubiform_requests_total HTTP requests answered, by status.\n"
           "# TYPE cubiform_requests_total counter\n";
    for (const auto& [status, count] : byStatus_)
        add("cubiform_requests_total{status=\"%d\"} %llu\n", status, static_cast<unsigned long long>(count));
    out += "# HELP cubiform_render_seconds Time to draw and encode one picture.\n"
           "# TYPE cubiform_render_seconds histogram\n";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < Buckets.size(); ++i) {
        cumulative += renderCounts_[i];
        add("cubiform_render_seconds_bucket{le=\"%g\"} %llu\n", Buckets[i], static_cast<unsigned long long>(cumulative));
    }
    cumulative += renderCounts_[Buckets.size()];
    add("cubiform_render_seconds_bucket{le=\"+Inf\"} %llu\n", static_cast<unsigned long long>(cumulative));
    add("cubiform_render_seconds_sum %.6f\n", renderSum_);
    add("cubiform_render_seconds_count %llu\n", static_cast<unsigned long long>(cumulative));
    out += "# HELP cubiform_queue_length Render requests waiting for a worker.\n"
           "# TYPE cubiform_queue_length gauge\n";
    add("cubiform_queue_length %d\n", g.Queued);
    out += "# HELP cubiform_renders_in_progress Render requests being drawn.\n"
           "# TYPE cubiform_renders_in_progress gauge\n";
    add("cubiform_renders_in_progress %d\n", g.Busy);
    out += "# HELP cubiform_covers_cached Uploaded covers kept for later requests.\n"
           "# TYPE cubiform_covers_cached gauge\n";
    add("cubiform_covers_cached %d\n", g.CoversCached);
    out += "# HELP cubiform_connections Connections open, being read or answered.\n"
           "# TYPE cubiform_connections gauge\n";
    add("cubiform_connections %d\n", g.Connections);
    out += "# HELP cubiform_memory_estimated_bytes Estimated peak memory of the requests being drawn.\n"
           "# TYPE cubiform_memory_estimated_bytes gauge\n";
    add("cubiform_memory_estimated_bytes %lld\n", static_cast<long long>(g.MemoryEstimated));
    out += "# HELP cubiform_memory_limit_bytes The memory the service keeps within (--max-memory).\n"
           "# TYPE cubiform_memory_limit_bytes gauge\n";
    add("cubiform_memory_limit_bytes %lld\n", static_cast<long long>(g.MemoryLimit));
    out += "# HELP cubiform_ready Whether every render worker is ready.\n"
           "# TYPE cubiform_ready gauge\n";
    add("cubiform_ready %d\n", g.Ready ? 1 : 0);
    out += "# HELP cubiform_received_bytes_total Request body bytes received.\n"
           "# TYPE cubiform_received_bytes_total counter\n";
    add("cubiform_received_bytes_total %llu\n", static_cast<unsigned long long>(bytesIn_));
    out += "# HELP cubiform_sent_bytes_total Response body bytes sent.\n"
           "# TYPE cubiform_sent_bytes_total counter\n";
    add("cubiform_sent_bytes_total %llu\n", static_cast<unsigned long long>(bytesOut_));
    return out;
}
