// Shared pieces of the exported device operations.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "link/link.h"
#include "link/scan.h"

namespace kestravo {

// Writes a message to the slot's trace without a time stamp and records -14.
int32_t WrongArgument(uint16_t port, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Formats the data text of a command into the reply store.
void FormatRequest(uint16_t port, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Whether the checks of an operation may look at the reply after ReadCommand returned r for a reply
// of n data characters. Besides success, a reply whose n data characters all arrived while its
// carriage return did not is taken as it is; when fewer arrived, the checks would only compare the
// request still standing in the reply store, so that stays a failure.
bool ReplyUsable(uint16_t port, int32_t r, uint32_t n);

// The common exchange: the letter with the data text in the reply store (or none), then a reply of n
// data characters. Returns the exchange's code.
int32_t Exchange(uint16_t port, char letter, bool with_data, int32_t n);

}  // namespace kestravo
