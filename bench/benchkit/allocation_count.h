#pragma once

// Counts the calls of the program's operator new: linking this replaces the global allocation
// function, so allocations made outside the memory accountant show too.

namespace benchkit {

long NewCalls();

} // namespace benchkit
