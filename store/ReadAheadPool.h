#pragma once

#include "FileStore.h"
#include "MessageFileReader.h"
#include "ReadAhead.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmora {

// Worker threads that read the messages of one folder walk ahead of the walker, in folder order, through a
// bounded window: at most `window` messages are read but not yet taken, so memory stays bounded whatever the
// folder's size. Workers touch only the message files, never the store.
class ReadAheadPool
{
public:
    struct Item
    {
        std::optional<ParsedMessage> parsed;
        std::shared_ptr<const ReadAheadResult> result;
    };

    ReadAheadPool(std::shared_ptr<const std::vector<MessageLocation>> locations, ReadAheadWork work, int threads,
                  std::size_t window);
    // Stops the workers after the message each one has in hand.
    ~ReadAheadPool();
    ReadAheadPool(const ReadAheadPool&) = delete;
    ReadAheadPool& operator=(const ReadAheadPool&) = delete;

    // The item of message `index`; indexes must be taken in order, each once. Calls `wait` every few
    // milliseconds while the item is not ready.
    Item take(std::size_t index, const ReadAheadWait& wait);

    static int defaultThreads();

private:
    struct Slot
    {
        std::size_t index = 0;
        bool ready = false;
        Item item;
    };

    void run();
    Item readOne(const MessageLocation& location);
    bool readyThrough(std::size_t first, std::size_t last) const;

    std::shared_ptr<const std::vector<MessageLocation>> m_locations;
    ReadAheadWork m_work;
    std::size_t m_window;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_workerWake;
    std::condition_variable m_itemReady;
    std::size_t m_next = 0; // the next index a worker takes
    std::size_t m_consumed = 0; // indexes below this were taken by the walker
    // While the walker waits: it wakes when every item from its index through m_waitLast is ready, so that it
    // takes them in one go instead of being woken once per item.
    bool m_walkerWaiting = false;
    std::size_t m_waitFirst = 0;
    std::size_t m_waitLast = 0;
    int m_idleWorkers = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace velmora
