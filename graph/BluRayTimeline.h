#pragma once
// Each clip of a Blu-ray playlist keeps the time stamps it was made with, so they start again
// at every clip. Moving each clip's stamps by its place on the title's timeline makes the
// title one continuous stream for the demuxer: no gap, no jump back, seeks as in one file.

#include <cstddef>
#include <cstdint>

// Adds Shift (90 kHz ticks, modulo 2^33 as the stamps wrap) to every program clock reference
// and every PES presentation and decoding time stamp in a run of 192-byte source packets.
// Packets out of sync, short or malformed headers are left as they are; a partial packet at
// the end is ignored.
void ShiftTransportTimes(uint8_t* data, size_t size, int64_t shift);
