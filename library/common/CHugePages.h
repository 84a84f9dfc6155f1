#pragma once

#include <cstddef>
#include <vector>

// Long sample records and run lists are asked for in 2 MB pages before they are
// first touched, so filling ten million samples costs a few dozen page faults
// instead of tens of thousands; short ones keep ordinary pages.
class CHugePages {
public:
    // Gives `items` room for `count` elements, keeping what it holds; only the
    // part not yet touched can come in huge pages.
    template <typename T>
    static void Reserve(std::vector<T>& items, std::size_t count) {
        if (count <= items.capacity()) return;
        items.reserve(count);
        Advise(items.data(), count * sizeof(T));
    }

private:
    static void Advise(const void* begin, std::size_t bytes);
};
