// Reads the line rate that the other side of a pseudo-terminal applied to the slave.
#pragma once

namespace vireo::sim {

// Output baud rate of the terminal fd (any rate, also non-standard ones set through
// BOTHER on Linux), or 0 when it cannot be read.
int ReadLineRate(int fd);

// Puts the terminal fd into raw 8N1 mode at rate (a standard rate or, on Linux, any rate).
// false when the settings could not be applied.
bool SetRawLineRate(int fd, int rate);

} // namespace vireo::sim
