#include "builder/BlobPipeline.h"

#include <algorithm>
#include <chrono>

namespace folivex {

BlobPipeline::BlobPipeline(unsigned threads, uint64_t maxBytes) : m_maxBytes(maxBytes) {
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
    m_room.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

void BlobPipeline::Budget::Take(uint64_t bytes) {
    m_pipeline.TakeBudget(*this, bytes);
}

void BlobPipeline::TakeBudget(Budget& budget, uint64_t bytes) {
    if (m_workers.empty()) return;  // one result at a time: the caller bounds them
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [&] {
        return m_stopping || budget.m_sequence == m_nextTaken || m_bytesHeld + bytes <= m_maxBytes;
    });
    if (m_stopping) throw Cancelled{};
    m_bytesHeld += bytes;
    budget.m_taken += bytes;
}

void BlobPipeline::Make(Item& item) {
    Budget budget(*this, item.sequence);
    try {
        item.made = item.job(budget);
    } catch (...) {
        item.failure = std::current_exception();
    }
    item.job = nullptr;
    std::lock_guard lock(m_mutex);
    item.budgetTaken = budget.m_taken;
}

void BlobPipeline::Submit(Job job) {
    auto item = std::make_shared<Item>();
    item->sequence = m_submitted++;
    item->job = std::move(job);
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

BlobPipeline::Made BlobPipeline::Next(const std::function<void()>& whileWaiting) {
    std::shared_ptr<Item> item = std::move(m_results.front());
    m_results.pop_front();
    if (!m_workers.empty()) {
        std::unique_lock lock(m_mutex);
        // A job no worker has started yet is run here rather than waited
        // for: quick jobs (a rebuild's unchanged files) then cost no switch
        // between threads.
        if (!m_queue.empty() && m_queue.front() == item) {
            m_queue.pop_front();
            lock.unlock();
            Make(*item);
            lock.lock();
            item->done = true;
        }
        m_awaited = item.get();
        while (!item->done) {
            if (!whileWaiting) {
                m_finished.wait(lock, [&] { return item->done; });
                break;
            }
            if (m_finished.wait_for(lock, std::chrono::milliseconds(100),
                                    [&] { return item->done; }))
                break;
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
        m_awaited = nullptr;
        // Its bytes are given back and the next result's job may go on
        // whatever the budget says.
        m_bytesHeld -= item->budgetTaken;
        ++m_nextTaken;
    } else {
        ++m_nextTaken;
    }
    m_room.notify_all();
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
