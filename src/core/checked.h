#pragma once
// Checked integer arithmetic and indexing: overflow or a bad index is a RangeError.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rangeError.h"

inline int32_t CheckedAdd(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) throw RangeError("integer overflow in an addition");
  return r;
}

inline int32_t CheckedMul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) throw RangeError("integer overflow in a multiplication");
  return r;
}

inline int64_t CheckedMul64(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) throw RangeError("integer overflow in a multiplication");
  return r;
}

inline int64_t CheckedAdd64(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) throw RangeError("integer overflow in an addition");
  return r;
}

// Mathematical modulo: the result lies in 0..m-1 for m > 0.
inline int32_t Mod(int64_t a, int32_t m) {
  if (m <= 0) throw RangeError("modulo by a non-positive number");
  int64_t r = a % m;
  return static_cast<int32_t>(r < 0 ? r + m : r);
}

// Index into a vector with a message that names the table.
template <typename T>
T& At(std::vector<T>& v, int64_t i, const char* table) {
  if (i < 0 || static_cast<uint64_t>(i) >= v.size())
    throw RangeError(std::string(table) + ": index " + std::to_string(i) + " outside 0.." +
                     std::to_string(static_cast<int64_t>(v.size()) - 1));
  return v[static_cast<size_t>(i)];
}

template <typename T>
const T& At(const std::vector<T>& v, int64_t i, const char* table) {
  if (i < 0 || static_cast<uint64_t>(i) >= v.size())
    throw RangeError(std::string(table) + ": index " + std::to_string(i) + " outside 0.." +
                     std::to_string(static_cast<int64_t>(v.size()) - 1));
  return v[static_cast<size_t>(i)];
}
