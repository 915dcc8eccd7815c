#include "platform/host_array_cbor.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace platform::cbor {
namespace {

static_assert(sizeof(bool) == 1, "logical elements are stored and written as single bytes");

constexpr bool kNativeLittleEndian = std::endian::native == std::endian::little;

// RFC 8746 typed-array tags in this machine's byte order.
std::uint64_t typedArrayTag(haClassID classId) {
  const bool le = kNativeLittleEndian;
  switch (classId) {
    case haUINT8_CLASS: return 64;
    case haINT8_CLASS: return 72;
    case haUINT16_CLASS: return le ? 69 : 65;
    case haINT16_CLASS: return le ? 77 : 73;
    case haUINT32_CLASS: return le ? 70 : 66;
    case haINT32_CLASS: return le ? 78 : 74;
    case haUINT64_CLASS: return le ? 71 : 67;
    case haINT64_CLASS: return le ? 79 : 75;
    case haSINGLE_CLASS: return le ? 85 : 81;
    case haDOUBLE_CLASS: return le ? 86 : 82;
    default: return 0;
  }
}

struct TypedArrayTag {
  haClassID classId;
  bool littleEndian;
};

// Both byte orders are read; 8-bit tags have none.
bool typedArrayClass(std::uint64_t tag, TypedArrayTag& out) {
  switch (tag) {
    case 64: out = {haUINT8_CLASS, kNativeLittleEndian}; return true;
    case 72: out = {haINT8_CLASS, kNativeLittleEndian}; return true;
    case 65: out = {haUINT16_CLASS, false}; return true;
    case 69: out = {haUINT16_CLASS, true}; return true;
    case 73: out = {haINT16_CLASS, false}; return true;
    case 77: out = {haINT16_CLASS, true}; return true;
    case 66: out = {haUINT32_CLASS, false}; return true;
    case 70: out = {haUINT32_CLASS, true}; return true;
    case 74: out = {haINT32_CLASS, false}; return true;
    case 78: out = {haINT32_CLASS, true}; return true;
    case 67: out = {haUINT64_CLASS, false}; return true;
    case 71: out = {haUINT64_CLASS, true}; return true;
    case 75: out = {haINT64_CLASS, false}; return true;
    case 79: out = {haINT64_CLASS, true}; return true;
    case 81: out = {haSINGLE_CLASS, false}; return true;
    case 85: out = {haSINGLE_CLASS, true}; return true;
    case 82: out = {haDOUBLE_CLASS, false}; return true;
    case 86: out = {haDOUBLE_CLASS, true}; return true;
    default: return false;
  }
}

bool isRow(const haArray* a) { return haGetNumberOfDimensions(a) == 2 && haGetM(a) == 1; }

void writeDimensions(Writer& out, const haArray* a) {
  const std::vector<std::size_t> dims = haGetDimensions(a);
  out.arrayStart(dims.size());
  for (std::size_t d : dims) out.uint(d);
}

void encodeValue(Writer& out, const haArray* a, int depth);

bool fieldNamesAreText(const haArray* s) {
  for (int f = 0; f < haGetNumberOfFields(s); ++f)
    if (!isValidUtf8(haGetFieldNameByNumber(s, f))) return false;
  return true;
}

void encodeStruct(Writer& out, const haArray* s, int depth) {
  if (!fieldNamesAreText(s)) throw std::invalid_argument("a struct field name is not valid UTF-8");
  const int nfields = haGetNumberOfFields(s);
  if (isRow(s) && haGetNumberOfElements(s) == 1) {
    out.mapStart(static_cast<std::size_t>(nfields));
    for (int f = 0; f < nfields; ++f) {
      out.text(haGetFieldNameByNumber(s, f));
      encodeValue(out, haGetFieldByNumber(s, 0, f), depth + 1);
    }
    return;
  }
  const std::size_t n = haGetNumberOfElements(s);
  out.tag(kTagStructArray);
  out.arrayStart(3);
  writeDimensions(out, s);
  out.arrayStart(static_cast<std::size_t>(nfields));
  for (int f = 0; f < nfields; ++f) out.text(haGetFieldNameByNumber(s, f));
  out.arrayStart(n * static_cast<std::size_t>(nfields));
  for (std::size_t e = 0; e < n; ++e)
    for (int f = 0; f < nfields; ++f) encodeValue(out, haGetFieldByNumber(s, e, f), depth + 1);
}

// The elements of a non-struct array in linear order, written as a 1-by-n row.
void encodeElements(Writer& out, const haArray* a, int depth) {
  const std::size_t n = haGetNumberOfElements(a);
  const haClassID classId = haGetClassID(a);
  const void* data = haGetData(a);
  switch (classId) {
    case haCELL_CLASS:
      out.arrayStart(n);
      for (std::size_t i = 0; i < n; ++i) encodeValue(out, haGetCell(a, i), depth + 1);
      return;
    case haCHAR_CLASS: {
      const std::string_view bytes(static_cast<const char*>(data), n);
      if (isValidUtf8(bytes)) {
        out.text(bytes);
      } else {
        out.tag(kTagByteChars);
        out.bytes(bytes.data(), bytes.size());
      }
      return;
    }
    case haLOGICAL_CLASS:
      if (n == 1) {
        out.boolean(*static_cast<const bool*>(data));
      } else {
        out.tag(kTagLogicalArray);
        out.bytes(data, n);
      }
      return;
    case haDOUBLE_CLASS:
      if (n == 1) {
        double v;
        std::memcpy(&v, data, sizeof v);
        out.floatingPoint(v);
        return;
      }
      break;
    case haINT32_CLASS:
      if (n == 1) {
        std::int32_t v;
        std::memcpy(&v, data, sizeof v);
        out.int64(v);
        return;
      }
      break;
    default: break;
  }
  out.tag(typedArrayTag(classId));
  out.bytes(data, n * haGetElementSize(a));
}

void encodeValue(Writer& out, const haArray* a, int depth) {
  if (depth > kMaxNestingDepth)
    throw std::invalid_argument("cells and structs nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
  if (a == nullptr) {
    out.null();
  } else if (haIsStruct(a)) {
    encodeStruct(out, a, depth);
  } else if (isRow(a)) {
    encodeElements(out, a, depth);
  } else {
    out.tag(kTagColumnMajorArray);
    out.arrayStart(2);
    writeDimensions(out, a);
    encodeElements(out, a, depth);
  }
}

// ---- decoding ------------------------------------------------------------------

[[noreturn]] void fail(const std::string& problem, const Item& item) { throw DecodeError(problem, item.offset); }

std::size_t checkedProduct(std::size_t a, std::uint64_t b, const Item& where) {
  if (b != 0 && a > std::numeric_limits<std::size_t>::max() / b) fail("dimensions too large", where);
  return a * static_cast<std::size_t>(b);
}

template <class Scalar>
HostArrayPtr scalar(haClassID classId, Scalar value) {
  HostArrayPtr a(haCreateNumericMatrix(1, 1, classId, haREAL));
  std::memcpy(haGetData(a.get()), &value, sizeof value);
  return a;
}

// What a value costs beyond its elements, in the budget's bytes.
constexpr std::uint64_t kValueOverhead = 16;
// Shorter strings are cheaper to copy than to share.
constexpr std::size_t kSharedTextFrom = 64;
// What an element slot of a cell or struct costs.
constexpr std::uint64_t kSlotSize = sizeof(haArray*);

// One value's decoding. Every level of nesting, string-reference namespaces
// included, counts against one depth limit, and everything made is charged
// to the budget before it is allocated.
class Decoder {
 public:
  Decoder(Reader& in, DecodeBudget* budget) : in_(in), budget_(budget) {}

  HostArrayPtr value(int depth) {
    const Item item = in_.next();
    if (depth > kMaxNestingDepth)
      fail("values nested deeper than " + std::to_string(kMaxNestingDepth) + " levels", item);
    switch (item.kind) {
      case Item::Kind::Null: return nullptr;
      case Item::Kind::Boolean: spend(0, item); return HostArrayPtr(haCreateLogicalScalar(item.value != 0));
      case Item::Kind::Float: spend(0, item); return HostArrayPtr(haCreateDoubleScalar(item.number));
      case Item::Kind::UnsignedInt:
        if (item.value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
          fail("integer outside the int32 range", item);
        spend(0, item);
        return scalar(haINT32_CLASS, static_cast<std::int32_t>(item.value));
      case Item::Kind::NegativeInt:
        if (item.value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
          fail("integer outside the int32 range", item);
        spend(0, item);
        return scalar(haINT32_CLASS, static_cast<std::int32_t>(-1 - static_cast<std::int64_t>(item.value)));
      case Item::Kind::TextString: return text(item);
      case Item::Kind::Array: {
        if (item.value > in_.remaining()) fail("more elements than the data can hold", item);
        spend(item.value * kSlotSize, item);
        HostArrayPtr cell(haCreateCellMatrix(1, static_cast<std::size_t>(item.value)));
        for (std::size_t i = 0; i < item.value; ++i) haSetCell(cell.get(), i, value(depth + 1).release());
        return cell;
      }
      case Item::Kind::Map: return map(depth, item);
      case Item::Kind::Tag: return tagged(depth, item);
      default: fail(std::string("unexpected ") + describe(item.kind) + " in a value", item);
    }
  }

 private:
  void spend(std::uint64_t bytes, const Item& at) {
    if (budget_ != nullptr) budget_->spend(kValueOverhead + bytes, at.offset);
  }

  // A long string met again (through a reference: the same bytes of the
  // input) shares the characters of the first; the budget still counts each
  // in full, as any reader of the value would copy it.
  HostArrayPtr text(const Item& item) {
    spend(item.size, item);
    const char* bytes = reinterpret_cast<const char*>(item.data);
    if (item.size < kSharedTextFrom) return HostArrayPtr(haCreateStringFromNChars(bytes, item.size));
    std::unique_ptr<SharedChars>& chars = shared_[item.data];
    if (!chars) chars = std::make_unique<SharedChars>(bytes, item.size);
    return HostArrayPtr(chars->makeString());
  }

  Item expect(Item::Kind kind, const char* what) {
    Item item = in_.next();
    if (item.kind != kind) fail(std::string("expected ") + what + ", found a " + describe(item.kind), item);
    return item;
  }

  std::vector<std::size_t> dimensions() {
    const Item list = expect(Item::Kind::Array, "the list of dimensions");
    if (list.value < 2 || list.value > 64) fail("an array needs 2 to 64 dimensions", list);
    std::vector<std::size_t> dims;
    for (std::uint64_t k = 0; k < list.value; ++k) {
      const Item d = expect(Item::Kind::UnsignedInt, "a dimension");
      if (d.value > std::numeric_limits<std::size_t>::max()) fail("dimension too large", d);
      dims.push_back(static_cast<std::size_t>(d.value));
    }
    return dims;
  }

  // One field name, checked against those before it.
  std::string fieldName(std::unordered_set<std::string>& seen) {
    const Item name = expect(Item::Kind::TextString, "a field name");
    std::string text(reinterpret_cast<const char*>(name.data), name.size);
    if (text.empty()) fail("empty field name", name);
    if (!seen.insert(text).second) fail("field '" + text + "' appears twice", name);
    spend(name.size, name);
    return text;
  }

  static HostArrayPtr createStruct(const std::vector<std::size_t>& dims, const std::vector<std::string>& names) {
    std::vector<const char*> pointers;
    for (const std::string& n : names) pointers.push_back(n.c_str());
    return HostArrayPtr(haCreateStructArray(dims.size(), dims.data(), static_cast<int>(names.size()), pointers.data()));
  }

  HostArrayPtr typed(const TypedArrayTag& type, const Item& tag) {
    const Item bytes = expect(Item::Kind::ByteString, "the bytes of a typed array");
    HostArrayPtr a(haCreateNumericMatrix(1, 0, type.classId, haREAL));
    const std::size_t size = haGetElementSize(a.get());
    if (bytes.size % size != 0) fail("typed array length is not a multiple of its element size", tag);
    const std::size_t n = bytes.size / size;
    spend(bytes.size, tag);
    a.reset(haCreateNumericMatrix(1, n, type.classId, haREAL));
    auto* out = static_cast<unsigned char*>(haGetData(a.get()));
    if (n > 0) std::memcpy(out, bytes.data, bytes.size);
    if (type.littleEndian != kNativeLittleEndian && size > 1)
      for (std::size_t i = 0; i < n; ++i) std::reverse(out + i * size, out + (i + 1) * size);
    return a;
  }

  HostArrayPtr columnMajor(int depth, const Item& tag) {
    const Item pair = expect(Item::Kind::Array, "[dimensions, elements]");
    if (pair.value != 2) fail("a multi-dimensional array must be [dimensions, elements]", pair);
    const std::vector<std::size_t> dims = dimensions();
    const std::uint64_t elementsAt = in_.offset();
    HostArrayPtr a = value(depth + 1);
    if (!a || haIsStruct(a.get()) || !isRow(a.get()))
      throw DecodeError("the elements of a multi-dimensional array must be a plain row", elementsAt);
    std::size_t total = 1;
    for (std::size_t d : dims) total = checkedProduct(total, d, tag);
    if (total != haGetNumberOfElements(a.get())) fail("the dimensions do not match the number of elements", tag);
    haSetDimensions(a.get(), dims.size(), dims.data());
    return a;
  }

  HostArrayPtr structArray(int depth, const Item& tag) {
    const Item triple = expect(Item::Kind::Array, "[dimensions, field names, values]");
    if (triple.value != 3) fail("a struct array must be [dimensions, field names, values]", triple);
    const std::vector<std::size_t> dims = dimensions();
    const Item nameList = expect(Item::Kind::Array, "the list of field names");
    if (nameList.value > in_.remaining()) fail("more field names than the data can hold", nameList);
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (std::uint64_t f = 0; f < nameList.value; ++f) names.push_back(fieldName(seen));
    std::size_t n = 1;
    for (std::size_t d : dims) n = checkedProduct(n, d, tag);
    // Elements cost nothing to encode when there are no fields, but a
    // program that walks them still pays for each one.
    if (n > in_.remaining()) fail("more struct elements than the data can hold", tag);
    const Item values = expect(Item::Kind::Array, "the list of field values");
    if (values.value != checkedProduct(n, names.size(), tag))
      fail("the number of field values does not match the dimensions", values);
    if (values.value > in_.remaining()) fail("more field values than the data can hold", values);
    spend(values.value * kSlotSize, tag);
    HostArrayPtr s = createStruct(dims, names);
    for (std::size_t e = 0; e < n; ++e)
      for (std::size_t f = 0; f < names.size(); ++f)
        haSetFieldByNumber(s.get(), e, static_cast<int>(f), value(depth + 1).release());
    return s;
  }

  HostArrayPtr map(int depth, const Item& map) {
    if (map.value > in_.remaining() / 2) fail("more fields than the data can hold", map);
    spend(map.value * kSlotSize, map);
    std::vector<std::string> names;
    std::vector<HostArrayPtr> values;
    std::unordered_set<std::string> seen;
    for (std::uint64_t f = 0; f < map.value; ++f) {
      names.push_back(fieldName(seen));
      values.push_back(value(depth + 1));
    }
    const std::size_t one[2] = {1, 1};
    HostArrayPtr s = createStruct({one, one + 2}, names);
    for (std::size_t f = 0; f < values.size(); ++f)
      haSetFieldByNumber(s.get(), 0, static_cast<int>(f), values[f].release());
    return s;
  }

  // The namespace lasts for the tagged value; the outer one, if any, comes
  // back after it. A namespace inside another is a level of nesting like a
  // cell; the outermost, which every stored value has, is not.
  HostArrayPtr inStringRefNamespace(int depth) {
    StringRefTable table;
    struct Restore {
      Reader& in;
      StringRefTable* outer;
      ~Restore() { in.useStringRefs(outer); }
    } restore{in_, in_.useStringRefs(&table)};
    return value(restore.outer != nullptr ? depth + 1 : depth);
  }

  HostArrayPtr tagged(int depth, const Item& tag) {
    if (tag.value == kTagStringRefNamespace) return inStringRefNamespace(depth);
    TypedArrayTag typedTag{};
    if (typedArrayClass(tag.value, typedTag)) return typed(typedTag, tag);
    if (tag.value == kTagColumnMajorArray) return columnMajor(depth, tag);
    if (tag.value == kTagStructArray) return structArray(depth, tag);
    if (tag.value == kTagLogicalArray || tag.value == kTagByteChars) {
      const Item bytes = expect(Item::Kind::ByteString, "a byte string");
      spend(bytes.size, tag);
      const bool logical = tag.value == kTagLogicalArray;
      HostArrayPtr a(logical ? haCreateNumericMatrix(1, bytes.size, haLOGICAL_CLASS, haREAL)
                             : haCreateStringFromNChars(reinterpret_cast<const char*>(bytes.data), bytes.size));
      if (logical) {
        bool* out = haGetElements<bool>(a.get());
        for (std::size_t i = 0; i < bytes.size; ++i) out[i] = bytes.data[i] != 0;
      }
      return a;
    }
    fail("unknown tag " + std::to_string(tag.value), tag);
  }

  Reader& in_;
  DecodeBudget* budget_;
  std::unordered_map<const unsigned char*, std::unique_ptr<SharedChars>> shared_;
};

}  // namespace

void encodeHostArray(Writer& out, const haArray* array) { encodeValue(out, array, 0); }

void encodeHostArray(Writer& out, const haArray* array, int depth) { encodeValue(out, array, depth); }

HostArrayPtr decodeHostArray(Reader& in, int depth, DecodeBudget* budget) { return Decoder(in, budget).value(depth); }

DecodeBudget::DecodeBudget(std::uint64_t limit, std::string bound) : limit_(limit), bound_(std::move(bound)) {}

void DecodeBudget::spend(std::uint64_t bytes, std::uint64_t offset) {
  if (bytes > limit_ - used_)
    throw DecodeError("decoded, the values would take more than " + std::to_string(limit_) + " bytes (" + bound_ + ")",
                      offset);
  used_ += bytes;
}

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    const std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0) return false;
    std::uint32_t code = c & (0x7Fu >> length);
    if (static_cast<std::size_t>(end - p) < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3Fu);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    p += length;
  }
  return true;
}

}  // namespace platform::cbor
