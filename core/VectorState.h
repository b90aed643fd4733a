#pragma once

// On processors with AVX-512, glibc copies short runs of bytes (16 to 31, as
// most texts of a table are) with EVEX instructions and returns without
// clearing the vector registers' upper halves. On some of them (a virtual Xeon
// was measured) every SSE instruction that follows, and SQLite works on reals
// with SSE, then pays a state transition that costs far more than the copy: a
// run took 1.8 times as long. glibc's AVX2 versions clear that state before
// they return, and glibc reads which versions to use only as a program starts,
// from GLIBC_TUNABLES. So the program starts itself once more, its arguments
// unchanged, with the AVX-512 versions left out, unless GLIBC_TUNABLES already
// says which to use. It returns where nothing is to be done or the new start
// failed; the program then goes on as it is.
void StartWithPlainStringFunctions(char* argv[]);
