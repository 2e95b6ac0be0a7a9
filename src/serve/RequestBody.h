#pragma once
// A request's body read as it comes, never past the limit, into memory a
// large body gives back when freed.
#include <httplib.h>

#include <sys/mman.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

// Memory for request bodies: a block of a megabyte or more is mapped for
// itself and given back when freed. From the heap, glibc would keep it in
// the arena of the connection thread that read it (its mmap threshold rises
// with each large block freed): a minute of chunked bodies refused at 20 MB
// left the service 500 MB larger for good. Holding that threshold low for
// the whole process instead cost a third of the throughput.
template <class T>
struct BodyAllocator {
    using value_type = T;
    static constexpr std::size_t Mapped = std::size_t{1} << 20;

    BodyAllocator() = default;
    template <class U>
    BodyAllocator(const BodyAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n * sizeof(T) < Mapped)
            return std::allocator<T>().allocate(n);
        void* p = ::mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n * sizeof(T) < Mapped)
            std::allocator<T>().deallocate(p, n);
        else
            ::munmap(p, n * sizeof(T));
    }
    template <class U>
    bool operator==(const BodyAllocator<U>&) const noexcept
    {
        return true;
    }
};
using BodyBytes = std::basic_string<char, std::char_traits<char>, BodyAllocator<char>>;

struct BodyPart {
    httplib::MultipartFormData Head; // its content stays empty
    BodyBytes Content;
};

// A request's body as it comes, never more than `limit` of it: the parts of
// a multipart body, or the whole of any other.
struct Body {
    BodyBytes Whole;
    std::vector<BodyPart> Parts;
    std::uint64_t Bytes = 0;
};

// Throws ServeError: 413 past the limit, 408 past the request's deadline,
// 400 a malformed body. The rest of a body not read whole is never read.
Body ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, std::uint64_t limit);

// The body bytes ReadBody took in on this thread since asked last.
std::uint64_t TakeBodyBytesIn();
