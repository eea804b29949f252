// BlobPipeline: runs the jobs that turn files into compressed blobs on a few
// worker threads and hands the results back in the order the jobs came in.
//
// A job reads its files (or takes their blobs from the earlier book) and
// makes the blobs itself, on the worker, so the thread that writes the book only
// writes. Before a job takes bytes into memory it asks the pipeline's budget
// for them: bytes are counted from then until the result is taken, and a job
// waits while the budget is spent, except the job whose result is to be
// taken next, which always goes on (so one large file never stops the
// build, and memory follows the budget and the largest file, not the book).
// With one thread every job runs at once in Submit, on the caller's thread;
// the caller then bounds memory by the number of results it lets wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "builder/FileBytes.h"
#include "platform/FileStamp.h"

namespace folivex {

class BlobPipeline {
public:
    struct Blob {
        std::vector<uint8_t> blob;
        uint64_t fileBytes = 0;  // the length of the file the blob holds
        // The file's stamp, taken before it was read (or found unchanged);
        // set only when the job was asked to take it.
        std::optional<FileStamp> stamp;
        uint32_t blobCrc = 0;      // CRC-32 of the blob, when stamped
        bool stampAsSeen = false;  // the stamp is the one the last build saw
    };

    // What a job asks before it takes bytes into memory.
    class Budget {
    public:
        // Waits until bytes fit (or this job's result is the next to be
        // taken). Throws Cancelled when the pipeline is being destroyed.
        void Take(uint64_t bytes);

    private:
        friend class BlobPipeline;
        Budget(BlobPipeline& pipeline, uint64_t sequence)
            : m_pipeline(pipeline), m_sequence(sequence) {}
        BlobPipeline& m_pipeline;
        uint64_t m_sequence;
        uint64_t m_taken = 0;
    };
    struct Cancelled {};

    // A job makes the blobs of one file or of a few small ones, in order.
    using Made = std::vector<Blob>;
    using Job = std::function<Made(Budget&)>;

    // threads 0: one per processor. maxBytes: the budget.
    BlobPipeline(unsigned threads, uint64_t maxBytes);
    // Stops the workers (a job waiting for the budget is cancelled);
    // results not taken are dropped.
    ~BlobPipeline();
    BlobPipeline(const BlobPipeline&) = delete;
    BlobPipeline& operator=(const BlobPipeline&) = delete;

    unsigned Threads() const { return m_threads; }

    // Queues a job (or, with one thread, runs it at once); what it throws
    // is rethrown by Next.
    void Submit(Job job);
    // Jobs submitted whose results are not yet taken.
    size_t Pending() const { return m_results.size(); }
    // The result of the oldest job not yet taken; waits until it is made,
    // calling whileWaiting (when given) about ten times a second meanwhile.
    // Rethrows what the job threw. Needs Pending() > 0.
    Made Next(const std::function<void()>& whileWaiting = {});

private:
    struct Item {
        uint64_t sequence = 0;
        Job job;
        Made made;
        uint64_t budgetTaken = 0;
        std::exception_ptr failure;
        bool done = false;
    };

    void Make(Item& item);
    void Work();
    void TakeBudget(Budget& budget, uint64_t bytes);

    unsigned m_threads;
    uint64_t m_maxBytes;
    std::vector<std::thread> m_workers;

    std::mutex m_mutex;
    std::condition_variable m_work, m_finished, m_room;
    std::deque<std::shared_ptr<Item>> m_queue;    // waiting for a worker
    std::deque<std::shared_ptr<Item>> m_results;  // in submission order
    uint64_t m_submitted = 0;                     // sequence of the next job
    uint64_t m_nextTaken = 0;                     // sequence Next takes next
    uint64_t m_bytesHeld = 0;                     // budget taken and not given back
    const Item* m_awaited = nullptr;              // the item Next waits for
    bool m_stopping = false;
};

}  // namespace folivex
