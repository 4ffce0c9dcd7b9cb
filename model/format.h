// printf into a string: every family's lines are built with it.
#pragma once
#include <cstdarg>
#include <string>

namespace model {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace model
