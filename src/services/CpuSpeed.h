#pragma once
// The processor clock as the operating system reports it, for the about box.
#include <QString>

// Where the clock is read from on Linux; tests point these at their own files.
struct CpuSpeedSources {
    QString CpuInfo = QStringLiteral("/proc/cpuinfo");                                     // "cpu MHz : 2400.000"
    QString MaxFrequency = QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"); // kHz
};

// "2400 MHz", or empty when the clock is not known.
QString CpuSpeedText();
QString CpuSpeedText(const CpuSpeedSources& sources);

// A clock in MHz as shown: the nearest integer (ties to even) and " MHz";
// empty for values no processor has.
QString MhzText(double mhz);
