#include "ReadAheadPool.h"

#include "FileMessage.h"

#include <chrono>
#include <pthread.h>

namespace velmora {
namespace {

    // Items a wait asks for together, and free room in the window that wakes idle workers: each wake-up costs a
    // system call and a switch of threads, far more than handing over one item.
    constexpr std::size_t kBatch = 16;

} // namespace

ReadAheadPool::ReadAheadPool(std::shared_ptr<const std::vector<MessageLocation>> locations, ReadAheadWork work,
                             int threads, std::size_t window)
    : m_locations(std::move(locations))
    , m_work(std::move(work))
    , m_window(std::max<std::size_t>(window, 1))
    , m_slots(m_window)
{
    for (int i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { run(); });
    }
}

ReadAheadPool::~ReadAheadPool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_workerWake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

int ReadAheadPool::defaultThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1U, 4U));
}

void ReadAheadPool::run()
{
    // Named for top, perf and debuggers.
    pthread_setname_np(pthread_self(), "velmora-read");
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            ++m_idleWorkers;
            m_workerWake.wait(
                lock, [this] { return m_stop || (m_next < m_locations->size() && m_next < m_consumed + m_window); });
            --m_idleWorkers;
            if (m_stop) {
                return;
            }
            index = m_next++;
        }
        Item item = readOne((*m_locations)[index]);
        bool wake = false;
        {
            const std::lock_guard lock(m_mutex);
            Slot& slot = m_slots[index % m_window];
            slot.index = index;
            slot.ready = true;
            slot.item = std::move(item);
            wake = m_walkerWaiting && index >= m_waitFirst && index <= m_waitLast
                && readyThrough(m_waitFirst, m_waitLast);
        }
        if (wake) {
            m_itemReady.notify_one();
        }
    }
}

bool ReadAheadPool::readyThrough(std::size_t first, std::size_t last) const
{
    for (std::size_t i = first; i <= last; ++i) {
        const Slot& slot = m_slots[i % m_window];
        if (!slot.ready || slot.index != i) {
            return false;
        }
    }
    return true;
}

ReadAheadPool::Item ReadAheadPool::readOne(const MessageLocation& location)
{
    // A message object without a store reads the file and nothing else.
    FileMessage message(nullptr, location);
    Item item;
    try {
        item.result = m_work(message);
    } catch (...) {
        // The walker does the work again and meets the failure itself, where it is handled.
        item.result.reset();
    }
    item.parsed = message.parsedFields();
    return item;
}

ReadAheadPool::Item ReadAheadPool::take(std::size_t index, const ReadAheadWait& wait)
{
    std::unique_lock lock(m_mutex);
    Slot& slot = m_slots[index % m_window];
    if (!(slot.ready && slot.index == index)) {
        m_waitFirst = index;
        m_waitLast = std::min({ index + kBatch - 1, m_locations->size() - 1, index + m_window - 1 });
        m_walkerWaiting = true;
        while (!readyThrough(m_waitFirst, m_waitLast)) {
            if (m_itemReady.wait_for(lock, std::chrono::milliseconds(15)) == std::cv_status::timeout && wait) {
                lock.unlock();
                wait();
                lock.lock();
            }
        }
        m_walkerWaiting = false;
    }
    Item item = std::move(slot.item);
    slot.ready = false;
    m_consumed = index + 1;
    const bool wake = m_idleWorkers > 0 && m_next < m_locations->size() && m_next + kBatch <= m_consumed + m_window;
    lock.unlock();
    if (wake) {
        m_workerWake.notify_all();
    }
    return item;
}

} // namespace velmora
