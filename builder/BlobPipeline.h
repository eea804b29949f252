// BlobPipeline: turns files' bytes into compressed blobs on a few worker
// threads and hands the blobs back in the order the bytes came in.
//
// Every blob is what MakeBlob makes of its bytes, so the results do not
// depend on the number of threads; with one thread the work is done at once
// in Submit, on the caller's thread. The caller bounds the memory by the
// number of items it lets wait (Pending) before it takes the next result.
//
// An item may also be a job that makes its blob itself on the worker (a
// rebuild's file known from the last build, whose blob is taken from the
// cache without reading the file when it did not change).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "builder/Sha256.h"

namespace folivex {

// An allocator whose vectors leave new bytes uninitialised on resize: a
// file's bytes are read straight over them, so zeroing them first would
// only cost time.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A file's bytes on their way to becoming a blob.
using FileBytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

class BlobCache;

class BlobPipeline {
public:
    // threads 0: one per processor. cache may be null (no cache); it must
    // outlive the pipeline.
    explicit BlobPipeline(unsigned threads, BlobCache* cache = nullptr);
    // Stops the workers; results not taken are dropped.
    ~BlobPipeline();
    BlobPipeline(const BlobPipeline&) = delete;
    BlobPipeline& operator=(const BlobPipeline&) = delete;

    unsigned Threads() const { return m_threads; }

    struct Made {
        std::vector<uint8_t> blob;
        // The SHA-256 of the bytes: the cache's key. Zero without a cache.
        Sha256Digest key{};
    };

    // Queues data to be made into a blob.
    void Submit(FileBytes data);
    // Queues a job run on a worker (or at once, with one thread); what it
    // throws is rethrown by Next.
    void Submit(std::function<Made()> job);
    // Items submitted and not yet taken by Next.
    size_t Pending() const { return m_results.size(); }
    // The blob of the oldest item not yet taken; waits until it is made.
    // Rethrows what making it threw (ContainerError, or what a job threw).
    // Needs Pending() > 0.
    Made Next();

private:
    struct Item {
        FileBytes data;
        std::function<Made()> job;
        Made made;
        std::exception_ptr failure;
        bool done = false;
    };

    void Make(Item& item);
    void Enqueue(std::shared_ptr<Item> item);
    void Work();

    unsigned m_threads;
    BlobCache* m_cache;
    std::vector<std::thread> m_workers;

    std::mutex m_mutex;
    std::condition_variable m_work, m_finished;
    std::deque<std::shared_ptr<Item>> m_queue;    // waiting for a worker
    std::deque<std::shared_ptr<Item>> m_results;  // in submission order
    const Item* m_awaited = nullptr;              // the item Next waits for
    bool m_stopping = false;
};

}  // namespace folivex
