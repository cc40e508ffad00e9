// SpscQueue: a fixed ring of N slots between exactly one producer thread and one
// consumer thread (N - 1 elements fit). Owned by the plug-in object. Push only from
// the producer, Pop only from the consumer; neither allocates, locks or waits, so
// either side may be the audio thread. A full ring drops the pushed element.
#pragma once

#include <atomic>
#include <cstddef>

namespace iplug {

template <typename T, int N>
class SpscQueue
{
    static_assert(N >= 2, "a ring needs at least two slots");

public:
    // Producer thread. False when the ring is full and the element was dropped.
    bool Push(const T& element)
    {
        const int write = writeIndex.load(std::memory_order_relaxed);
        const int next = (write + 1) % N;
        if (next == readIndex.load(std::memory_order_acquire))
            return false;
        slots[write] = element;
        writeIndex.store(next, std::memory_order_release);
        return true;
    }

    // Consumer thread. False when the ring is empty.
    bool Pop(T& element)
    {
        const int read = readIndex.load(std::memory_order_relaxed);
        if (read == writeIndex.load(std::memory_order_acquire))
            return false;
        element = slots[read];
        readIndex.store((read + 1) % N, std::memory_order_release);
        return true;
    }

    // Consumer thread. Takes every element that was waiting when the call began, oldest first;
    // elements pushed meanwhile wait for the next call. The read index moves once, at the end.
    // Returns how many were taken.
    template <typename Consume>
    int PopAll(Consume&& consume)
    {
        const int write = writeIndex.load(std::memory_order_acquire);
        int read = readIndex.load(std::memory_order_relaxed);
        int taken = 0;
        for (; read != write; read = (read + 1) % N, ++taken)
            consume(static_cast<const T&>(slots[read]));
        readIndex.store(read, std::memory_order_release);
        return taken;
    }

    // Consumer thread, or any thread while the producer is stopped: visits the waiting elements,
    // oldest first, without taking them.
    template <typename Visit>
    void ForEachWaiting(Visit&& visit) const
    {
        const int write = writeIndex.load(std::memory_order_acquire);
        for (int read = readIndex.load(std::memory_order_relaxed); read != write; read = (read + 1) % N)
            visit(slots[read]);
    }

    // Only while neither side runs: forgets every waiting element.
    void Clear()
    {
        readIndex.exchange(0);
        writeIndex.exchange(0);
    }

    // Either thread; a snapshot that may be stale by the time it is used.
    int ElementsAvailable() const
    {
        const int write = writeIndex.load(std::memory_order_acquire);
        const int read = readIndex.load(std::memory_order_acquire);
        return (write - read + N) % N;
    }

    static constexpr int Capacity() { return N - 1; }

private:
    T slots[N] = {};
    std::atomic<int> writeIndex{0};
    std::atomic<int> readIndex{0};
};

} // namespace iplug
