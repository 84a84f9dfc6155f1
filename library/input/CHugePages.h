#pragma once

#include <cstddef>
#include <vector>

// Long sample records and run lists are asked for in 2 MB pages before they are
// first touched, so filling ten million samples costs a few dozen page faults
// instead of tens of thousands; short ones keep ordinary pages.
class CHugePages {
public:
    // Gives `items` room for `count` elements. When it must grow, earlier
    // contents are dropped: the caller is about to fill it from the start.
    template <typename T>
    static void Reserve(std::vector<T>& items, std::size_t count) {
        if (count <= items.capacity()) return;
        std::vector<T>().swap(items);
        items.reserve(count);
        Advise(items.data(), count * sizeof(T));
    }

private:
    static void Advise(const void* begin, std::size_t bytes);
};
