// Objects that are dear to set up or grow, lent to whichever thread needs
// one and kept for the next when given back: there are never more than were
// in use at once.
//
// A thread_local would do the same without the lock, but not on Windows:
// when a thread of a MinGW program ends, the storage of its thread_local
// objects may be freed before their destructors run on it. The code keeps
// no thread_local (tools/check_layers.py refuses them); it borrows from a
// pool instead.
#pragma once

#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace folivex {

template <class T>
class ObjectPool {
public:
    // One object, the borrower's alone until the loan ends.
    class Loan {
    public:
        Loan(ObjectPool& pool, std::unique_ptr<T> item) : m_pool(&pool), m_item(std::move(item)) {}
        Loan(Loan&&) noexcept = default;
        Loan& operator=(Loan&&) = delete;
        ~Loan() {
            if (m_item) m_pool->GiveBack(std::move(m_item));
        }
        T& operator*() const { return *m_item; }
        T* operator->() const { return m_item.get(); }

    private:
        ObjectPool* m_pool;
        std::unique_ptr<T> m_item;
    };

    ObjectPool() = default;
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    // An object given back earlier, as it was left, or a new one.
    Loan Lend() {
        std::unique_ptr<T> item;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_idle.empty()) {
                item = std::move(m_idle.back());
                m_idle.pop_back();
            }
        }
        return Loan(*this, item ? std::move(item) : std::make_unique<T>());
    }

private:
    void GiveBack(std::unique_ptr<T> item) noexcept {
        const std::lock_guard lock(m_mutex);
        try {
            m_idle.push_back(std::move(item));
        } catch (const std::bad_alloc&) {
            // Not kept: the next borrower makes a new one.
        }
    }

    std::mutex m_mutex;
    std::vector<std::unique_ptr<T>> m_idle;
};

}  // namespace folivex
