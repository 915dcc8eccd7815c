#include "platform/cbor_stream.h"

#include <cbor.h>

#include <boost/unordered_map.hpp>
#include <cstring>

#include <functional>

namespace platform::cbor {

// ---- writing ----------------------------------------------------------------------

namespace {

// The largest item header: initial byte plus an 8-byte argument.
constexpr std::size_t kMaxHeader = 9;

// A float whose value survives the trip through IEEE half precision. libcbor
// rounds half subnormals, so only zeros, infinities and normal halves count.
bool fitsHalf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const std::uint32_t exponent = (bits >> 23) & 0xFFu;
  const std::uint32_t mantissa = bits & 0x7FFFFFu;
  if (exponent == 0) return mantissa == 0;
  if (exponent == 0xFF) return mantissa == 0;
  return exponent >= 127 - 14 && exponent <= 127 + 15 && (mantissa & 0x1FFFu) == 0;
}

// Finds std::string keys by std::string_view without making a string.
struct TextHash {
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};
struct TextEqual {
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};

// Beyond this many strings a namespace still numbers new ones, as a reader
// does, but no longer remembers them: a trace of unique texts must not make
// the writer keep a copy of each.
constexpr std::size_t kMaxRememberedStrings = 1u << 20;

}  // namespace

std::size_t stringRefMinLength(std::size_t tableSize) {
  if (tableSize < 24) return 3;
  if (tableSize < 256) return 4;
  if (tableSize < 65536) return 5;
  if (tableSize < 4294967296ull) return 7;
  return 11;
}

// Text and byte strings are numbered in one sequence but never stand for each other.
struct Writer::StringRefs {
  // Boost's table keeps each node's bucket, so a look-up never hashes a stored key again.
  boost::unordered_map<std::string, std::uint64_t, TextHash, TextEqual> texts, bytes;
  std::uint64_t count = 0;
};

Writer::Writer(ByteSink& sink) : sink_(sink) {}

Writer::~Writer() = default;

void Writer::beginStringRefs() {
  tag(kTagStringRefNamespace);
  refs_ = std::make_unique<StringRefs>();
}

void Writer::endStringRefs() { refs_.reset(); }

bool Writer::writeAsReference(bool isText, std::string_view data) {
  if (!refs_ || data.size() < 3) return false;
  auto& known = isText ? refs_->texts : refs_->bytes;
  if (const auto found = known.find(data, TextHash{}, TextEqual{}); found != known.end()) {
    tag(kTagStringRef);
    uint(found->second);
    return true;
  }
  if (data.size() >= stringRefMinLength(refs_->count)) {
    if (refs_->texts.size() + refs_->bytes.size() < kMaxRememberedStrings) known.emplace(data, refs_->count);
    ++refs_->count;
  }
  return false;
}

template <class Encode>
void Writer::header(Encode encode) {
  if (kBufferSize - used_ < kMaxHeader) flush();
  used_ += encode(buffer_ + used_, kBufferSize - used_);
}

void Writer::uint(std::uint64_t value) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_uint(value, p, n); });
}

void Writer::negint(std::uint64_t value) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_negint(value, p, n); });
}

void Writer::int64(std::int64_t value) {
  if (value >= 0)
    uint(static_cast<std::uint64_t>(value));
  else
    negint(static_cast<std::uint64_t>(-(value + 1)));
}

void Writer::text(std::string_view utf8) {
  if (writeAsReference(true, utf8)) return;
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_string_start(utf8.size(), p, n); });
  raw(utf8.data(), utf8.size());
}

void Writer::bytes(const void* data, std::size_t size) {
  if (writeAsReference(false, std::string_view(static_cast<const char*>(data), size))) return;
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_bytestring_start(size, p, n); });
  raw(data, size);
}

void Writer::tag(std::uint64_t value) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_tag(value, p, n); });
}

void Writer::arrayStart(std::size_t count) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_array_start(count, p, n); });
}

void Writer::mapStart(std::size_t count) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_map_start(count, p, n); });
}

void Writer::indefiniteMapStart() {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_indef_map_start(p, n); });
}

void Writer::breakMark() {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_break(p, n); });
}

void Writer::boolean(bool value) {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_bool(value, p, n); });
}

void Writer::null() {
  header([&](unsigned char* p, std::size_t n) { return cbor_encode_null(p, n); });
}

void Writer::floatingPoint(double value) {
  const float narrow = static_cast<float>(value);
  // NaN compares unequal and keeps its payload in double precision.
  if (static_cast<double>(narrow) == value) {
    if (fitsHalf(narrow))
      header([&](unsigned char* p, std::size_t n) { return cbor_encode_half(narrow, p, n); });
    else
      header([&](unsigned char* p, std::size_t n) { return cbor_encode_single(narrow, p, n); });
  } else {
    header([&](unsigned char* p, std::size_t n) { return cbor_encode_double(value, p, n); });
  }
}

void Writer::raw(const void* data, std::size_t size) {
  if (size == 0) return;
  if (size > kBufferSize - used_) {
    flush();
    if (size >= kBufferSize) {
      sink_.write(static_cast<const unsigned char*>(data), size);
      flushed_ += size;
      return;
    }
  }
  std::memcpy(buffer_ + used_, data, size);
  used_ += size;
}

void Writer::flush() {
  if (used_ == 0) return;
  sink_.write(buffer_, used_);
  flushed_ += used_;
  used_ = 0;
}

// ---- reading ----------------------------------------------------------------------

DecodeError::DecodeError(const std::string& problem, std::uint64_t offset)
    : std::runtime_error(problem + " (at byte " + std::to_string(offset) + ")"), offset_(offset) {}

namespace {

void set(void* context, Item::Kind kind, std::uint64_t value = 0) {
  Item& item = *static_cast<Item*>(context);
  item.kind = kind;
  item.value = value;
}
void setString(void* context, Item::Kind kind, cbor_data data, std::size_t size) {
  Item& item = *static_cast<Item*>(context);
  item.kind = kind;
  item.data = data;
  item.size = size;
}
void setNumber(void* context, double number) {
  Item& item = *static_cast<Item*>(context);
  item.kind = Item::Kind::Float;
  item.number = number;
}

void onUint8(void* c, std::uint8_t v) { set(c, Item::Kind::UnsignedInt, v); }
void onUint16(void* c, std::uint16_t v) { set(c, Item::Kind::UnsignedInt, v); }
void onUint32(void* c, std::uint32_t v) { set(c, Item::Kind::UnsignedInt, v); }
void onUint64(void* c, std::uint64_t v) { set(c, Item::Kind::UnsignedInt, v); }
void onNegint8(void* c, std::uint8_t v) { set(c, Item::Kind::NegativeInt, v); }
void onNegint16(void* c, std::uint16_t v) { set(c, Item::Kind::NegativeInt, v); }
void onNegint32(void* c, std::uint32_t v) { set(c, Item::Kind::NegativeInt, v); }
void onNegint64(void* c, std::uint64_t v) { set(c, Item::Kind::NegativeInt, v); }
void onBytes(void* c, cbor_data d, std::size_t n) { setString(c, Item::Kind::ByteString, d, n); }
void onText(void* c, cbor_data d, std::size_t n) { setString(c, Item::Kind::TextString, d, n); }
void onIndefiniteString(void* c) { set(c, Item::Kind::IndefiniteString); }
void onArray(void* c, std::size_t n) { set(c, Item::Kind::Array, n); }
void onIndefiniteArray(void* c) { set(c, Item::Kind::IndefiniteArray); }
void onMap(void* c, std::size_t n) { set(c, Item::Kind::Map, n); }
void onIndefiniteMap(void* c) { set(c, Item::Kind::IndefiniteMap); }
void onTag(void* c, std::uint64_t v) { set(c, Item::Kind::Tag, v); }
void onFloat(void* c, float v) { setNumber(c, v); }
void onDouble(void* c, double v) { setNumber(c, v); }
void onBool(void* c, bool v) { set(c, Item::Kind::Boolean, v ? 1 : 0); }
void onNull(void* c) { set(c, Item::Kind::Null); }
void onUndefined(void* c) { set(c, Item::Kind::Undefined); }
void onBreak(void* c) { set(c, Item::Kind::Break); }

const cbor_callbacks kCallbacks = [] {
  cbor_callbacks cb = cbor_empty_callbacks;
  cb.uint8 = onUint8;
  cb.uint16 = onUint16;
  cb.uint32 = onUint32;
  cb.uint64 = onUint64;
  cb.negint8 = onNegint8;
  cb.negint16 = onNegint16;
  cb.negint32 = onNegint32;
  cb.negint64 = onNegint64;
  cb.byte_string = onBytes;
  cb.byte_string_start = onIndefiniteString;
  cb.string = onText;
  cb.string_start = onIndefiniteString;
  cb.array_start = onArray;
  cb.indef_array_start = onIndefiniteArray;
  cb.map_start = onMap;
  cb.indef_map_start = onIndefiniteMap;
  cb.tag = onTag;
  cb.float2 = onFloat;
  cb.float4 = onFloat;
  cb.float8 = onDouble;
  cb.boolean = onBool;
  cb.null = onNull;
  cb.undefined = onUndefined;
  cb.indef_break = onBreak;
  return cb;
}();

}  // namespace

Item Reader::next() {
  Item item;
  item.offset = offset();
  if (cursor_ == end_) throw DecodeError("the data ends where an item was expected", item.offset);
  const cbor_decoder_result result = cbor_stream_decode(cursor_, remaining(), &kCallbacks, &item);
  switch (result.status) {
    case CBOR_DECODER_FINISHED: break;
    case CBOR_DECODER_NEDATA: throw DecodeError("the data ends inside an item", item.offset);
    // Also reserved initial bytes and simple values other than false, true, null, undefined.
    case CBOR_DECODER_ERROR: throw DecodeError("malformed CBOR item", item.offset);
  }
  if (result.read == 0 || result.read > remaining()) throw DecodeError("malformed CBOR item", item.offset);
  const bool isString = item.kind == Item::Kind::ByteString || item.kind == Item::Kind::TextString;
  if (isString && (item.data < cursor_ || item.size > static_cast<std::size_t>(end_ - item.data)))
    throw DecodeError("the data ends inside a string", item.offset);
  cursor_ += result.read;
  if (refs_ == nullptr) return item;
  if (isString) {
    if (item.size >= stringRefMinLength(refs_->size())) refs_->push_back(item);
  } else if (item.kind == Item::Kind::Tag && item.value == kTagStringRef) {
    // The number is read outside the namespace: a reference inside a
    // reference names nothing, and must not make the reader recurse.
    Reader outside(*this);
    outside.refs_ = nullptr;
    const Item number = outside.next();
    cursor_ = outside.cursor_;
    if (number.kind != Item::Kind::UnsignedInt || number.value >= refs_->size())
      throw DecodeError("a string reference names no string of its namespace", item.offset);
    Item named = (*refs_)[static_cast<std::size_t>(number.value)];
    named.offset = item.offset;
    return named;
  }
  return item;
}

const char* describe(Item::Kind kind) {
  switch (kind) {
    case Item::Kind::UnsignedInt: return "unsigned integer";
    case Item::Kind::NegativeInt: return "negative integer";
    case Item::Kind::ByteString: return "byte string";
    case Item::Kind::TextString: return "text string";
    case Item::Kind::Array: return "array";
    case Item::Kind::Map: return "map";
    case Item::Kind::IndefiniteArray: return "indefinite-length array";
    case Item::Kind::IndefiniteMap: return "indefinite-length map";
    case Item::Kind::IndefiniteString: return "indefinite-length string";
    case Item::Kind::Tag: return "tag";
    case Item::Kind::Float: return "floating-point number";
    case Item::Kind::Boolean: return "boolean";
    case Item::Kind::Null: return "null";
    case Item::Kind::Undefined: return "undefined";
    case Item::Kind::Break: return "break";
  }
  return "item";
}

}  // namespace platform::cbor
