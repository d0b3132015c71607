// What quadrelle-deals tells about a whole set beside its deal listing, and its --commit call.
// The listing on standard output stays one line per deal; these lines go to standard error, so
// scripts that read the listing see no change.
#pragma once

#include "DealSet.h"

// "PATH: fingerprint 3f9a-21c7", then "PATH: Deals 9 and 10 are the same" for every deal that
// repeats an earlier one, on standard error.
void ReportSet(const char* path, const DealSet& deals);

// quadrelle-deals --commit HEX: the seed's commitment on standard output. Exit status 0, 2 for a
// wrong seed (named on standard error), 1 when standard output cannot be written.
int PrintCommitment(const char* hex);
