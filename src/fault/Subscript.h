#pragma once

#include <cstddef>
#include <iterator>

#include "fault/Fault.h"

namespace kestrix {

// Element n of a table numbered from 1 (slots, sinks, machines); any other number is a subscript
// out of range (9), as for the classic fixed arrays.
template <class Table>
decltype(auto) oneBased(Table& table, int n) {
    if (n < 1 || n > static_cast<int>(std::size(table))) {
        raiseFault(ErrorNumber::SubscriptOutOfRange);
    }
    return table[static_cast<std::size_t>(n - 1)];
}

}  // namespace kestrix
