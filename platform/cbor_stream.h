// CBOR streams (RFC 8949) on libcbor: a buffered item writer over a byte sink
// and a bounds-checked item reader over a byte range that never copies.
//
//   platform::cbor::Writer out(sink);  out.arrayStart(2); out.uint(1); out.text("a"); out.flush();
//   platform::cbor::Reader in(data, size);  platform::cbor::Item item = in.next();
//
// Both sides know string references (the registered tags 256 and 25 of
// http://cbor.schmorp.de/stringref): inside a namespace, a string met before
// is written as a reference to its number, which the reader resolves, so a
// text repeated in a million records is stored once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform::cbor {

/// Tag of a string-reference namespace (the tagged item is the namespace).
inline constexpr std::uint64_t kTagStringRefNamespace = 256;
/// Tag of a string reference: the tagged unsigned integer numbers a string.
inline constexpr std::uint64_t kTagStringRef = 25;

/// The shortest string a namespace holding `tableSize` strings numbers: one
/// no shorter than a reference to it would be.
std::size_t stringRefMinLength(std::size_t tableSize);

/// Where a Writer's bytes go; write() throws when the bytes cannot be stored.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const unsigned char* data, std::size_t size) = 0;
};

class Writer {
 public:
  explicit Writer(ByteSink& sink);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void uint(std::uint64_t value);
  /// The integer -1 - value.
  void negint(std::uint64_t value);
  void int64(std::int64_t value);
  void text(std::string_view utf8);
  void bytes(const void* data, std::size_t size);
  void tag(std::uint64_t value);
  void arrayStart(std::size_t count);
  void mapStart(std::size_t count);
  void indefiniteMapStart();
  void breakMark();
  void boolean(bool value);
  void null();
  /// The shortest of half, single and double precision that holds `value` exactly.
  void floatingPoint(double value);
  /// Bytes already encoded, copied as they are.
  void raw(const void* data, std::size_t size);
  /// Writes tag 256 and opens its namespace: until endStringRefs(), a text or
  /// byte string written before in it is written as a reference. The next
  /// item written is the namespace's content.
  void beginStringRefs();
  void endStringRefs();
  /// Hands everything buffered to the sink.
  void flush();
  /// Bytes produced so far, buffered ones included.
  std::uint64_t bytesWritten() const { return flushed_ + used_; }

 private:
  template <class Encode>
  void header(Encode encode);
  /// True when the string went out as a reference; otherwise numbers it if
  /// the namespace would.
  bool writeAsReference(bool isText, std::string_view bytes);

  struct StringRefs;

  static constexpr std::size_t kBufferSize = 64 * 1024;
  ByteSink& sink_;
  unsigned char buffer_[kBufferSize];
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;
  std::unique_ptr<StringRefs> refs_;
};

/// Malformed or truncated input; `offset` is where the item starts.
class DecodeError : public std::runtime_error {
 public:
  DecodeError(const std::string& problem, std::uint64_t offset);
  std::uint64_t offset() const noexcept { return offset_; }

 private:
  std::uint64_t offset_;
};

struct Item {
  enum class Kind {
    UnsignedInt,  ///< value
    NegativeInt,  ///< the integer -1 - value
    ByteString,   ///< data, size
    TextString,   ///< data, size
    Array,        ///< value = element count
    Map,          ///< value = pair count
    IndefiniteArray,
    IndefiniteMap,
    IndefiniteString,  ///< chunked byte or text string
    Tag,               ///< value
    Float,             ///< number
    Boolean,           ///< value 0 or 1
    Null,
    Undefined,
    Break,
  };
  Kind kind = Kind::Null;
  std::uint64_t value = 0;
  double number = 0;
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  std::uint64_t offset = 0;  ///< where the item starts, counted from the reader's base
};

/// The strings a namespace has numbered, as the reader met them; they point
/// into the reader's range.
using StringRefTable = std::vector<Item>;

/// Reads items one at a time from [begin, end); strings point into the range.
class Reader {
 public:
  /// `baseOffset` is the position of `begin` in the whole input, for messages.
  Reader(const unsigned char* begin, const unsigned char* end, std::uint64_t baseOffset = 0)
      : begin_(begin), cursor_(begin), end_(end), base_(baseOffset) {}

  /// The next item; throws DecodeError when the range ends inside it or it is
  /// malformed. Inside a namespace a reference comes back as the string it
  /// names (with the reference's offset).
  Item next();
  /// Inside the namespace of `table` from now on (nullptr: outside any);
  /// returns the previous one. Literal strings read are numbered into it.
  StringRefTable* useStringRefs(StringRefTable* table) {
    StringRefTable* previous = refs_;
    refs_ = table;
    return previous;
  }
  bool atEnd() const { return cursor_ == end_; }
  std::size_t remaining() const { return static_cast<std::size_t>(end_ - cursor_); }
  /// Position of the next item, counted from the base.
  std::uint64_t offset() const { return base_ + static_cast<std::uint64_t>(cursor_ - begin_); }
  const unsigned char* position() const { return cursor_; }

 private:
  const unsigned char* begin_;
  const unsigned char* cursor_;
  const unsigned char* end_;
  std::uint64_t base_;
  StringRefTable* refs_ = nullptr;
};

/// "text string" for TextString, ...: names a kind in messages.
const char* describe(Item::Kind kind);

}  // namespace platform::cbor
