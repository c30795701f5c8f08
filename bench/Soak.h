#pragma once

// Programs a virtual module `runs` times in a row with 1% of its replies
// faulted at random (seeded), and checks that every run ends, with the text
// its first harmful fault calls for, and that memory does not grow.
int runSoak(int runs);
