#pragma once

// The list views keep some 40 bytes per row of their own, allocated when
// the rows arrive: at a million rows that is ten thousand page faults on
// the window's thread. With the C library's allocator told to ask for
// transparent huge pages, the same memory comes in a few dozen faults.
// The allocator reads that setting only when the program starts, so the
// program starts itself once more with it (the process, and its id, stay
// the same); children started later get the environment as it was.
namespace HugePages {

// Call first in main(). Returns only when the allocator already has the
// setting, or when starting again failed (the program then runs as it is).
void restartWithThem(char **argv);

} // namespace HugePages
