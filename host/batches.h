// Work in batches on two threads, taken in order on the calling one.
//
// produce(batch, slot) fills a slot with a batch's work: a helper thread works ahead through the
// ring of slots, and so does the calling thread while the batch it takes next is not ready.
// consume(batch, slot) takes the batches in order on the calling thread; when it returns false,
// the work stops there. produce must touch nothing but its batch's input and its slot.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvara {

// True when every batch was consumed; false when consume stopped the work.
template <typename Slot, typename Produce, typename Consume>
bool processInOrder(size_t batches, std::vector<Slot>& slots, Produce&& produce,
                    Consume&& consume) {
  const size_t ring = slots.size();
  std::mutex mutex;
  std::condition_variable_any changed;
  std::vector<uint8_t> ready(ring, 0);
  size_t head = 0;     // the batch the calling thread takes next
  size_t claimed = 0;  // batches taken for producing, by either thread
  std::jthread helper([&](std::stop_token stop) {
    for (;;) {
      size_t batch = 0;
      {
        std::unique_lock lock(mutex);
        if (!changed.wait(lock, stop,
                          [&] { return claimed == batches || claimed < head + ring; }) ||
            stop.stop_requested() || claimed == batches)
          return;
        batch = claimed++;
      }
      produce(batch, slots[batch % ring]);
      {
        std::lock_guard lock(mutex);
        ready[batch % ring] = 1;
      }
      changed.notify_all();
    }
  });
  for (size_t batch = 0; batch < batches; ++batch) {
    Slot& slot = slots[batch % ring];
    {
      // Until the batch is ready, this thread produces the next batch nobody has taken.
      std::unique_lock lock(mutex);
      for (;;) {
        if (ready[batch % ring] != 0) break;
        if (claimed < batches && claimed < head + ring) {
          const size_t next = claimed++;
          lock.unlock();
          produce(next, slots[next % ring]);
          lock.lock();
          ready[next % ring] = 1;
          continue;
        }
        changed.wait(lock, [&] {
          return ready[batch % ring] != 0 || (claimed < batches && claimed < head + ring);
        });
      }
    }
    const bool more = consume(batch, slot);
    {
      std::lock_guard lock(mutex);
      ready[batch % ring] = 0;
      head = batch + 1;
    }
    changed.notify_all();
    if (!more) return false;  // the helper is stopped and joined on the way out
  }
  return true;
}

}  // namespace kelvara
