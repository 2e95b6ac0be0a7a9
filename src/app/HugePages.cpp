#include "app/HugePages.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__) && defined(__GLIBC__)
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* Tunable = "glibc.malloc.hugetlb";
// Blocks of a few megabytes (rows of covers being read, the GL's own
// buffers) come and go with every cover the window loads. Left to glibc's
// sliding limit, each may become a mapping of its own, and three covers
// settled 40 to 50 MB higher; from the heap they are reused.
constexpr const char* Threshold = "glibc.malloc.mmap_threshold";
constexpr const char* ThresholdValue = "8388608";
// Carries the user's own value (or its absence) across the restart.
constexpr const char* Saved = "CUBIFORM_SAVED_TUNABLES";
constexpr const char* WasUnset = "\x01unset";
// The process's name as the first start had it: started again through
// /proc/self/exe it would be "exe" in ps and top, and pkill or killall
// by name would miss it.
constexpr const char* SavedName = "CUBIFORM_SAVED_NAME";

bool Sanitized()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace

std::optional<std::string> TunablesWithHugePages(const char* current)
{
    const std::string value = current ? current : "";
    if (value.find(Tunable) != std::string::npos)
        return std::nullopt;
    std::string tunables = (value.empty() ? std::string() : value + ":") + Tunable + "=1";
    if (value.find(Threshold) == std::string::npos)
        tunables += std::string(":") + Threshold + "=" + ThresholdValue;
    return tunables;
}

void RestartWithHugePages(char** argv)
{
#if defined(__linux__) && defined(__GLIBC__)
    if (const char* saved = std::getenv(Saved)) {
        // This is the second start: the setting is in force; hand the
        // environment on as the user had it.
        if (std::strcmp(saved, WasUnset) == 0)
            unsetenv("GLIBC_TUNABLES");
        else
            setenv("GLIBC_TUNABLES", saved, 1);
        unsetenv(Saved);
        if (const char* name = std::getenv(SavedName)) {
            prctl(PR_SET_NAME, name);
            unsetenv(SavedName);
        }
        return;
    }
    if (Sanitized() || std::getenv("LD_PRELOAD"))
        return; // their own allocator, or a tool that would lose track of us
    const char* current = std::getenv("GLIBC_TUNABLES");
    const std::optional<std::string> tunables = TunablesWithHugePages(current);
    if (!tunables)
        return;
    char name[17] = {}; // the kernel's 16 bytes, and an end
    if (prctl(PR_GET_NAME, name) == 0)
        setenv(SavedName, name, 1);
    setenv(Saved, current ? current : WasUnset, 1);
    setenv("GLIBC_TUNABLES", tunables->c_str(), 1);
    execv("/proc/self/exe", argv);
    // Could not start again: go on as we are, with the environment as it was.
    if (current)
        setenv("GLIBC_TUNABLES", current, 1);
    else
        unsetenv("GLIBC_TUNABLES");
    unsetenv(Saved);
    unsetenv(SavedName);
#else
    (void)argv;
#endif
}
