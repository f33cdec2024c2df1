#pragma once

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <cstring>

namespace qp {

// Removes the folder and everything below it with raw system calls only (no
// allocation, no lock), as a signal handler may. Links are removed, never
// followed; below sixteen levels of folders nothing more is removed.
void removeTreeFromSignal(const char* path);

// Copies the bytes and a closing zero into the buffer, or leaves it empty
// when they do not fit: a path that a signal handler can read.
template <std::size_t N> void copyForSignal(char (&buffer)[N], const QByteArray& bytes) {
    const std::size_t size = std::size_t(bytes.size()) < N ? std::size_t(bytes.size()) : 0;
    std::memcpy(buffer, bytes.constData(), size);
    buffer[size] = 0;
}

// A fixed table that threads fill and empty while a signal handler may read
// it, without allocating or locking. A slot is free, being written, kept or
// taken by the handler; the handler takes only kept slots, and a taken slot
// is not used again (the program is ending).
template <typename Entry, int Size> class SignalSafeTable {
public:
    // Fills a free slot and keeps it; returns its number, or -1 when none is free.
    template <typename Fill> int keep(Fill&& fill) {
        for (int i = 0; i < Size; ++i) {
            int free = Free;
            if (!states_[i].compare_exchange_strong(free, Writing))
                continue;
            fill(entries_[i]);
            states_[i].store(Kept);
            return i;
        }
        return -1;
    }
    void forget(int slot) {
        int kept = Kept;
        if (slot >= 0 && slot < Size)
            states_[slot].compare_exchange_strong(kept, Free);
    }
    // From a signal handler: takes each slot kept now and hands it to take.
    // Returns how many it took.
    template <typename Take> int takeAll(Take&& take) {
        int taken = 0;
        for (int i = 0; i < Size; ++i) {
            int kept = Kept;
            if (states_[i].compare_exchange_strong(kept, Taken)) {
                take(entries_[i]);
                ++taken;
            }
        }
        return taken;
    }

private:
    enum : int { Free, Writing, Kept, Taken };
    std::atomic<int> states_[Size] = {};
    Entry entries_[Size] = {};
};

} // namespace qp
