#pragma once
// How much memory a request may take at its peak, told before any work
// from its covers' headers, its picture's size and samples, and whether the
// service has room for it now, later or never (--max-memory).
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

struct PeakInputs {
    std::vector<QSize> Covers; // each cover's pixels, as its header gives them
    QSize Output;
    int Samples = 1;
    bool RayTraced = false;
    bool Denoised = true;
};

// Bytes one request adds at its peak beyond the service's standing memory.
std::int64_t EstimatePeakBytes(const PeakInputs& request);

// What the service holds whatever it draws: the program, and each worker's
// GL context and cover textures kept between requests.
std::int64_t StandingBytes(int workers, std::int64_t coverCacheBytes);

enum class Admission { Admit, Wait, Refuse };

// `budget` is what requests may take together, `inUse` what those drawing
// hold now: a request that fits beside them is admitted, one that fits only
// alone waits, one larger than the whole budget is refused.
Admission Admit(std::int64_t estimate, std::int64_t inUse, std::int64_t budget);

// The memory the service may use when --max-memory is not given: the
// cgroup's limit (`cgroupMax`, memory.max's text: a number or "max") when
// there is one, else half of `physical`. `source` says which.
std::int64_t DefaultMaxMemory(const QString& cgroupMax, std::int64_t physical, QString* source);
// The same, read from /sys/fs/cgroup/memory.max and the machine.
std::int64_t DefaultMaxMemory(QString* source);

// "1.20 GB", "350 MB" (powers of 1024, as --max-memory takes them): for messages.
QString MemoryText(std::int64_t bytes);
