// Host arrays as CBOR items: the value encoding of trace data files.
//
//   platform::cbor::encodeHostArray(writer, array);
//   platform::HostArrayPtr copy = platform::cbor::decodeHostArray(reader);
//
// Compact where traces are large: a 1-by-n cell is a plain array, a 1-by-1
// double a float of the shortest exact width, a 1-by-1 int32 a plain integer,
// a 1-by-1 logical a boolean, a 1-by-n char a text string, a 1-by-1 struct a
// map from field name to value; other shapes and classes use RFC 8746 typed
// arrays and multi-dimensional arrays and three private tags. A value may sit
// in a string-reference namespace (the writer's beginStringRefs), where
// repeated texts are references. The layout is described in
// docs/trace-data-file-format.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/cbor_stream.h"
#include "platform/host_array.h"

namespace platform::cbor {

/// Logical array: a byte string of 0 and 1 bytes.
inline constexpr std::uint64_t kTagLogicalArray = 0x70740001;
/// Char array whose bytes are not valid UTF-8: a byte string.
inline constexpr std::uint64_t kTagByteChars = 0x70740002;
/// Struct array of any shape: [dimensions, [field names], [values, element by element]].
inline constexpr std::uint64_t kTagStructArray = 0x70740003;
/// RFC 8746 multi-dimensional array, column-major: [dimensions, elements].
inline constexpr std::uint64_t kTagColumnMajorArray = 1040;

/// Nesting of cells and structs beyond this is refused both ways.
inline constexpr int kMaxNestingDepth = 200;

/// Writes `array` (nullptr writes an empty element, CBOR null). Throws
/// std::invalid_argument for what the format cannot hold (nesting too deep, a
/// field name that is not UTF-8) and whatever the sink throws.
void encodeHostArray(Writer& out, const haArray* array);
/// As above for a value found `depth` levels inside another (a cell element
/// streamed on its own), so that the nesting limit counts from the outermost value.
void encodeHostArray(Writer& out, const haArray* array, int depth);

/// A bound on what decoding may make, counted over every value decoded with
/// it: the bytes of the elements, strings met through references included,
/// and a small fixed cost per value. A reference costs a few bytes of a file
/// but stands for a whole string, so without a bound a small file could
/// decode into gigabytes.
class DecodeBudget {
 public:
  /// `bound` says where the limit comes from, for the message.
  DecodeBudget(std::uint64_t limit, std::string bound);
  /// Throws DecodeError at `offset` when `bytes` more would pass the limit.
  void spend(std::uint64_t bytes, std::uint64_t offset);
  std::uint64_t used() const { return used_; }

 private:
  std::uint64_t limit_;
  std::uint64_t used_ = 0;
  std::string bound_;
};

/// Reads one value found `depth` levels inside another (0: a whole value;
/// the nesting limit counts from the outermost one); nullptr for an empty
/// element (CBOR null). Throws DecodeError for anything that is not a
/// well-formed host array, or that would pass `budget` (none: no bound);
/// never allocates more than a small multiple of the bytes it reads, but for
/// strings met through references.
HostArrayPtr decodeHostArray(Reader& in, int depth = 0, DecodeBudget* budget = nullptr);

/// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or
/// code points beyond U+10FFFF).
bool isValidUtf8(std::string_view bytes);

}  // namespace platform::cbor
