#include "builder/BlobPipeline.h"

#include <algorithm>

#include "builder/BlobCache.h"
#include "format/Container.h"

namespace folivex {

BlobPipeline::BlobPipeline(unsigned threads, BlobCache* cache) : m_cache(cache) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    m_threads = threads;
    if (m_threads == 1) return;  // the work is done in Submit
    try {
        for (unsigned i = 0; i < m_threads; ++i) m_workers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started do all the work, or
        // Submit does when none started.
        if (m_workers.empty()) m_threads = 1;
    }
}

BlobPipeline::~BlobPipeline() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_work.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

void BlobPipeline::Make(Item& item) {
    try {
        if (item.job) {
            item.made = item.job();
        } else {
            const std::span<const uint8_t> bytes(item.data.data(), item.data.size());
            if (m_cache) {
                item.made.key = Sha256Of(bytes);
                item.made.blob = m_cache->BlobFor(item.made.key, bytes);
            } else {
                item.made.blob = MakeBlob(bytes);
            }
        }
    } catch (...) {
        item.failure = std::current_exception();
    }
    item.data = {};  // the bytes are no longer needed
    item.job = nullptr;
}

void BlobPipeline::Enqueue(std::shared_ptr<Item> item) {
    if (m_workers.empty()) {
        Make(*item);
        item->done = true;
        m_results.push_back(std::move(item));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(item);
    }
    m_results.push_back(std::move(item));
    m_work.notify_one();
}

void BlobPipeline::Submit(FileBytes data) {
    auto item = std::make_shared<Item>();
    item->data = std::move(data);
    Enqueue(std::move(item));
}

void BlobPipeline::Submit(std::function<Made()> job) {
    auto item = std::make_shared<Item>();
    item->job = std::move(job);
    Enqueue(std::move(item));
}

BlobPipeline::Made BlobPipeline::Next() {
    std::shared_ptr<Item> item = std::move(m_results.front());
    m_results.pop_front();
    if (!m_workers.empty()) {
        std::unique_lock lock(m_mutex);
        m_awaited = item.get();
        m_finished.wait(lock, [&] { return item->done; });
        m_awaited = nullptr;
    }
    if (item->failure) std::rethrow_exception(item->failure);
    return std::move(item->made);
}

void BlobPipeline::Work() {
    for (;;) {
        std::shared_ptr<Item> item;
        {
            std::unique_lock lock(m_mutex);
            m_work.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        Make(*item);
        bool awaited;
        {
            std::lock_guard lock(m_mutex);
            item->done = true;
            awaited = item.get() == m_awaited;
        }
        // Only the item the caller waits for wakes it: items finished
        // ahead of their turn would only cost it a switch.
        if (awaited) m_finished.notify_one();
    }
}

}  // namespace folivex
