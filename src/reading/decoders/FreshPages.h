// SPDX-License-Identifier: MIT
#pragma once

// Fresh memory about to be written: its pages made by the kernel many at a time rather than in a
// fault each (filling 96 MB of fresh memory on one thread took 38 ms with a fault a page and
// 24 ms made a band at a time, on the development machine).

#include <QtGlobal>
#include <cstddef>
#include <initializer_list>
#include <thread>
#include <vector>

namespace platform::decoders {

// Has the kernel make the pages of fresh memory about to be written in one call, rather than a
// fault a page: called for a band of rows just before they are written, so that the new pages are
// still in the cache when they are. Only a hint, and nothing where the kernel cannot.
void makePagesFor(void* first, std::size_t bytes);

// Makes the pages of fresh memory on a thread of its own, range after range in the order given,
// a band at a time, until done or destroyed: for a writer that fills the memory in that order
// more slowly than the kernel makes pages (an inflate, libwebp), which then finds them made.
// Ranges of less than 8 MB in all are left to the writer: a thread would cost more than it saves.
class PagesAhead {
  public:
    struct Range {
        uchar* first;
        std::size_t bytes;
    };
    explicit PagesAhead(std::initializer_list<Range> ranges);

  private:
    std::jthread thread_; // asked to stop and joined when it goes
};

} // namespace platform::decoders
