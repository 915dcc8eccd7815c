#include "platform/host_array.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

namespace {

constexpr std::size_t kMaxDims = 64;
constexpr std::size_t kInlineBytes = 8;

struct StructBody {
  std::vector<std::string> fieldNames;
  std::vector<haArray*> values;  // element-major: element e owns values[e * nfields + f]
};

}  // namespace

// A trace keeps millions of small arrays alive, so the common case pays for no
// second allocation: two dimensions that fit 32 bits live in the header, and
// data of up to 8 bytes (any scalar, a short text, a 1-by-1 cell's slot) lives
// in the handle itself.
struct haArray {
  haClassID classId = haUNKNOWN_CLASS;
  std::uint8_t ndims = 2;
  bool dimsOnHeap = false;  // dimensions beyond the header always live on the heap proper
  bool dataOnHeap = false;  // decided once at creation: the hot accessors only test this
  bool inArena = false;     // the handle and its out-of-line data belong to a HostArrayArena
  bool dataShared = false;  // data.heap is inside a SharedBlock, whatever the handle's home
  union {
    std::uint32_t small[2];
    std::size_t* heap;
  } dims{};
  union {
    unsigned char bytes[kInlineBytes];
    void* heap;
    StructBody* body;
  } data{};
};

static_assert(sizeof(haArray) == 24, "keep the handle small: a trace holds millions of them");

namespace {

// Characters held by several arrays (platform::SharedChars): a count of
// holders, then the bytes. An array writes to them only while it is the only holder.
struct SharedBlock {
  std::atomic<std::size_t> holders;
  std::size_t size;
  unsigned char* bytes() { return reinterpret_cast<unsigned char*>(this + 1); }
};

SharedBlock* newSharedBlock(const void* bytes, std::size_t size) {
  void* memory = std::malloc(sizeof(SharedBlock) + size);
  if (memory == nullptr) throw std::bad_alloc();
  auto* block = new (memory) SharedBlock{{1}, size};
  if (size > 0) std::memcpy(block->bytes(), bytes, size);
  return block;
}

SharedBlock* blockOf(void* bytes) { return static_cast<SharedBlock*>(bytes) - 1; }

void releaseSharedBlock(SharedBlock* block) {
  if (block->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block->~SharedBlock();
    std::free(block);
  }
}

// The arena new arrays of this thread come from, while a scope is open.
thread_local platform::HostArrayArena* currentArena = nullptr;

// Bytes one element occupies in storage; cells store one owning pointer each.
std::size_t slotSize(haClassID classId) {
  switch (classId) {
    case haLOGICAL_CLASS: return sizeof(bool);
    case haCHAR_CLASS:
    case haINT8_CLASS:
    case haUINT8_CLASS: return 1;
    case haINT16_CLASS:
    case haUINT16_CLASS: return 2;
    case haSINGLE_CLASS:
    case haINT32_CLASS:
    case haUINT32_CLASS: return 4;
    case haDOUBLE_CLASS:
    case haINT64_CLASS:
    case haUINT64_CLASS: return 8;
    case haCELL_CLASS: return sizeof(haArray*);
    case haSTRUCT_CLASS:
    case haUNKNOWN_CLASS: return 0;
  }
  return 0;
}

bool isNumericClass(haClassID classId) {
  return classId == haDOUBLE_CLASS || classId == haSINGLE_CLASS ||
         (classId >= haINT8_CLASS && classId <= haUINT64_CLASS);
}

std::size_t numel(const haArray* a) {
  if (!a->dimsOnHeap) return std::size_t{a->dims.small[0]} * a->dims.small[1];
  std::size_t n = 1;
  for (std::size_t k = 0; k < a->ndims; ++k) n *= a->dims.heap[k];
  return n;
}

std::size_t dimension(const haArray* a, std::size_t k) {
  if (k >= a->ndims) return 1;
  return a->dimsOnHeap ? a->dims.heap[k] : a->dims.small[k];
}

unsigned char* storage(haArray* a) { return a->dataOnHeap ? static_cast<unsigned char*>(a->data.heap) : a->data.bytes; }
const unsigned char* storage(const haArray* a) {
  return a->dataOnHeap ? static_cast<const unsigned char*>(a->data.heap) : a->data.bytes;
}

haArray** cellSlots(haArray* cell) { return reinterpret_cast<haArray**>(storage(cell)); }
haArray* const* cellSlots(const haArray* cell) { return reinterpret_cast<haArray* const*>(storage(cell)); }

std::size_t checkedProduct(std::size_t a, std::size_t b) {
  if (b != 0 && a > std::numeric_limits<std::size_t>::max() / b)
    throw std::length_error("host array: dimensions too large");
  return a * b;
}

// A blank handle, from the thread's arena when a scope is open.
haArray* newHandle() {
  platform::HostArrayArena* arena = currentArena;
  haArray* a = arena != nullptr ? new (arena->allocate(sizeof(haArray))) haArray : new haArray;
  a->inArena = arena != nullptr;
  return a;
}

// The handle without its data; dimensions copied as given, missing ones are 1.
haArray* allocateShape(haClassID classId, std::size_t ndims, const std::size_t* dims) {
  constexpr std::size_t kSmall = std::numeric_limits<std::uint32_t>::max();
  if (ndims == 2 && dims != nullptr && dims[0] <= kSmall && dims[1] <= kSmall) {
    // Nearly every array: two dimensions that fit the header (their product cannot overflow).
    checkedProduct(dims[0] * dims[1], std::max<std::size_t>(slotSize(classId), 1));
    haArray* a = newHandle();
    a->dims.small[0] = static_cast<std::uint32_t>(dims[0]);
    a->dims.small[1] = static_cast<std::uint32_t>(dims[1]);
    a->classId = classId;
    return a;
  }
  if (ndims > kMaxDims) throw std::invalid_argument("host array: more than 64 dimensions");
  if (ndims > 0 && dims == nullptr) throw std::invalid_argument("host array: no dimensions given");
  const std::size_t n = std::max<std::size_t>(ndims, 2);
  std::size_t total = 1;
  bool fitsSmall = n == 2;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t d = k < ndims ? dims[k] : 1;
    total = checkedProduct(total, d);
    if (d > std::numeric_limits<std::uint32_t>::max()) fitsSmall = false;
  }
  checkedProduct(total, std::max<std::size_t>(slotSize(classId), 1));

  platform::HostArrayPtr a(newHandle());
  a->classId = haUNKNOWN_CLASS;  // nothing to release until the data exists
  a->ndims = static_cast<std::uint8_t>(n);
  if (fitsSmall) {
    for (std::size_t k = 0; k < 2; ++k) a->dims.small[k] = static_cast<std::uint32_t>(k < ndims ? dims[k] : 1);
  } else {
    a->dims.heap = new std::size_t[n];
    a->dimsOnHeap = true;
    for (std::size_t k = 0; k < n; ++k) a->dims.heap[k] = k < ndims ? dims[k] : 1;
  }
  a->classId = classId;
  return a.release();
}

// A zeroed 1-by-1 array of a class whose element fits the handle: every
// number, flag and character a record holds, made without the general checks.
haArray* allocateScalar(haClassID classId) {
  haArray* a = newHandle();
  a->dims.small[0] = 1;
  a->dims.small[1] = 1;
  a->classId = classId;
  return a;
}

// Zero-filled data for everything but structs.
haArray* allocateArray(haClassID classId, std::size_t ndims, const std::size_t* dims) {
  platform::HostArrayPtr a(allocateShape(classId, ndims, dims));
  const std::size_t bytes = numel(a.get()) * slotSize(classId);
  if (bytes > kInlineBytes && a->inArena) {
    a->data.heap = std::memset(currentArena->allocate(bytes), 0, bytes);
    a->dataOnHeap = true;
  } else if (bytes > kInlineBytes) {
    a->data.heap = std::calloc(bytes, 1);
    if (a->data.heap == nullptr) {
      a->classId = haUNKNOWN_CLASS;
      throw std::bad_alloc();
    }
    a->dataOnHeap = true;
  }
  return a.release();
}

haArray* allocateStruct(std::size_t ndims, const std::size_t* dims, std::vector<std::string> fieldNames) {
  std::unordered_set<std::string_view> seen;
  for (const std::string& name : fieldNames) {
    if (name.empty()) throw std::invalid_argument("host array: empty field name");
    if (!seen.insert(name).second) throw std::invalid_argument("host array: duplicate field name '" + name + "'");
  }
  platform::HostArrayPtr a(allocateShape(haUNKNOWN_CLASS, ndims, dims));
  const std::size_t slots = checkedProduct(numel(a.get()), fieldNames.size());
  auto body = std::make_unique<StructBody>();
  body->fieldNames = std::move(fieldNames);
  body->values.assign(slots, nullptr);
  a->data.body = body.release();
  a->classId = haSTRUCT_CLASS;
  return a.release();
}

std::vector<std::size_t> dimensionsOf(const haArray* a) {
  std::vector<std::size_t> dims(a->ndims);
  for (std::size_t k = 0; k < a->ndims; ++k) dims[k] = dimension(a, k);
  return dims;
}

template <class T>
double firstAsDouble(const haArray* a) {
  T v;
  std::memcpy(&v, storage(a), sizeof v);
  return static_cast<double>(v);
}

}  // namespace

haArray* haCreateCellMatrix(std::size_t rows, std::size_t cols) {
  const std::size_t dims[2] = {rows, cols};
  return allocateArray(haCELL_CLASS, 2, dims);
}

haArray* haCreateCellArray(std::size_t ndims, const std::size_t* dims) {
  return allocateArray(haCELL_CLASS, ndims, dims);
}

haArray* haCreateStructArray(std::size_t ndims, const std::size_t* dims, int nfields, const char* const* fieldNames) {
  if (nfields < 0 || (nfields > 0 && fieldNames == nullptr)) throw std::invalid_argument("host array: bad field list");
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(nfields));
  for (int f = 0; f < nfields; ++f) {
    if (fieldNames[f] == nullptr) throw std::invalid_argument("host array: null field name");
    names.emplace_back(fieldNames[f]);
  }
  return allocateStruct(ndims, dims, std::move(names));
}

haArray* haCreateNumericArray(std::size_t ndims, const std::size_t* dims, haClassID classId, haComplexity complexity) {
  if (complexity != haREAL) throw std::invalid_argument("host array: complex data is not supported");
  if (!isNumericClass(classId) && classId != haLOGICAL_CLASS)
    throw std::invalid_argument("host array: not a numeric class");
  if (ndims == 2 && dims != nullptr && dims[0] == 1 && dims[1] == 1) return allocateScalar(classId);
  return allocateArray(classId, ndims, dims);
}

haArray* haCreateNumericMatrix(std::size_t rows, std::size_t cols, haClassID classId, haComplexity complexity) {
  const std::size_t dims[2] = {rows, cols};
  return haCreateNumericArray(2, dims, classId, complexity);
}

haArray* haCreateDoubleMatrix(std::size_t rows, std::size_t cols, haComplexity complexity) {
  return haCreateNumericMatrix(rows, cols, haDOUBLE_CLASS, complexity);
}

haArray* haCreateDoubleScalar(double value) {
  haArray* a = allocateScalar(haDOUBLE_CLASS);
  std::memcpy(a->data.bytes, &value, sizeof value);
  return a;
}

haArray* haCreateLogicalScalar(bool value) {
  haArray* a = allocateScalar(haLOGICAL_CLASS);
  std::memcpy(a->data.bytes, &value, sizeof value);
  return a;
}

haArray* haCreateCharArray(std::size_t ndims, const std::size_t* dims) {
  return allocateArray(haCHAR_CLASS, ndims, dims);
}

haArray* haCreateString(const char* text) { return haCreateStringFromNChars(text, text ? std::strlen(text) : 0); }

haArray* haCreateStringFromNChars(const char* bytes, std::size_t length) {
  const std::size_t dims[2] = {1, length};
  haArray* a = allocateArray(haCHAR_CLASS, 2, dims);
  if (length > 0) std::memcpy(storage(a), bytes, length);
  return a;
}

void haDestroyArray(haArray* array) {
  if (array == nullptr) return;
  if (array->classId == haSTRUCT_CLASS) {
    for (haArray* v : array->data.body->values) haDestroyArray(v);
    delete array->data.body;
  } else if (array->classId != haUNKNOWN_CLASS) {
    if (array->classId == haCELL_CLASS) {
      haArray** slots = cellSlots(array);
      for (std::size_t i = 0, n = numel(array); i < n; ++i) haDestroyArray(slots[i]);
    }
    if (array->dataShared)
      releaseSharedBlock(blockOf(array->data.heap));
    else if (array->dataOnHeap && !array->inArena)
      std::free(array->data.heap);
  }
  if (array->dimsOnHeap) delete[] array->dims.heap;
  if (!array->inArena) delete array;
}

haArray* haDuplicateArray(const haArray* array) {
  if (array == nullptr) return nullptr;
  const std::vector<std::size_t> dims = dimensionsOf(array);
  if (array->classId == haSTRUCT_CLASS) {
    const StructBody& from = *array->data.body;
    platform::HostArrayPtr copy(allocateStruct(dims.size(), dims.data(), from.fieldNames));
    for (std::size_t i = 0; i < from.values.size(); ++i) copy->data.body->values[i] = haDuplicateArray(from.values[i]);
    return copy.release();
  }
  platform::HostArrayPtr copy(allocateArray(array->classId, dims.size(), dims.data()));
  const std::size_t n = numel(array);
  if (array->classId == haCELL_CLASS) {
    haArray* const* from = cellSlots(array);
    haArray** to = cellSlots(copy.get());
    for (std::size_t i = 0; i < n; ++i) to[i] = haDuplicateArray(from[i]);
  } else if (n > 0) {
    std::memcpy(storage(copy.get()), storage(array), n * slotSize(array->classId));
  }
  return copy.release();
}

haClassID haGetClassID(const haArray* array) { return array ? array->classId : haUNKNOWN_CLASS; }

const char* haGetClassName(const haArray* array) {
  switch (haGetClassID(array)) {
    case haCELL_CLASS: return "cell";
    case haSTRUCT_CLASS: return "struct";
    case haLOGICAL_CLASS: return "logical";
    case haCHAR_CLASS: return "char";
    case haDOUBLE_CLASS: return "double";
    case haSINGLE_CLASS: return "single";
    case haINT8_CLASS: return "int8";
    case haUINT8_CLASS: return "uint8";
    case haINT16_CLASS: return "int16";
    case haUINT16_CLASS: return "uint16";
    case haINT32_CLASS: return "int32";
    case haUINT32_CLASS: return "uint32";
    case haINT64_CLASS: return "int64";
    case haUINT64_CLASS: return "uint64";
    case haUNKNOWN_CLASS: break;
  }
  return "unknown";
}

std::size_t haGetNumberOfElements(const haArray* array) { return array ? numel(array) : 0; }

std::size_t haGetNumberOfDimensions(const haArray* array) { return array ? array->ndims : 0; }

std::vector<std::size_t> haGetDimensions(const haArray* array) {
  return array ? dimensionsOf(array) : std::vector<std::size_t>{};
}

std::size_t haGetDimension(const haArray* array, std::size_t k) { return array ? dimension(array, k) : 0; }

std::size_t haGetM(const haArray* array) { return haGetDimension(array, 0); }

std::size_t haGetN(const haArray* array) {
  if (array == nullptr) return 0;
  std::size_t n = 1;
  for (std::size_t k = 1; k < array->ndims; ++k) n *= dimension(array, k);
  return n;
}

std::size_t haGetElementSize(const haArray* array) {
  const haClassID c = haGetClassID(array);
  return c == haCELL_CLASS ? 0 : slotSize(c);
}

void haSetDimensions(haArray* array, std::size_t ndims, const std::size_t* dims) {
  if (array == nullptr) throw std::invalid_argument("haSetDimensions: no array");
  // Borrow the shape of a fresh handle so the checks and the layout rules stay in one place.
  platform::HostArrayPtr shape(allocateShape(haUNKNOWN_CLASS, ndims, dims));
  if (numel(shape.get()) != numel(array))
    throw std::invalid_argument("haSetDimensions: the element count must not change");
  std::swap(array->ndims, shape->ndims);
  std::swap(array->dimsOnHeap, shape->dimsOnHeap);
  std::swap(array->dims, shape->dims);
}

std::size_t haCalcSingleSubscript(const haArray* array, std::size_t nsubs, const std::size_t* subs) {
  if (array == nullptr || subs == nullptr) return 0;
  if (nsubs == 2 && !array->dimsOnHeap) return subs[0] + subs[1] * array->dims.small[0];  // {row, column}
  std::size_t index = 0, stride = 1;
  for (std::size_t k = 0; k < nsubs; ++k) {
    index += subs[k] * stride;
    stride *= dimension(array, k);
  }
  return index;
}

bool haIsEmpty(const haArray* array) { return haGetNumberOfElements(array) == 0; }

bool haIsScalar(const haArray* array) { return array && numel(array) == 1; }

bool haIsVector(const haArray* array) {
  return array && array->ndims == 2 && (dimension(array, 0) == 1 || dimension(array, 1) == 1);
}

bool haIsNumeric(const haArray* array) { return isNumericClass(haGetClassID(array)); }

bool haIsInteger(const haArray* array) {
  const haClassID c = haGetClassID(array);
  return c >= haINT8_CLASS && c <= haUINT64_CLASS;
}

bool haIsDouble(const haArray* array) { return haGetClassID(array) == haDOUBLE_CLASS; }
bool haIsInt32(const haArray* array) { return haGetClassID(array) == haINT32_CLASS; }
bool haIsUint32(const haArray* array) { return haGetClassID(array) == haUINT32_CLASS; }
bool haIsLogical(const haArray* array) { return haGetClassID(array) == haLOGICAL_CLASS; }
bool haIsChar(const haArray* array) { return haGetClassID(array) == haCHAR_CLASS; }
bool haIsCell(const haArray* array) { return haGetClassID(array) == haCELL_CLASS; }
bool haIsStruct(const haArray* array) { return haGetClassID(array) == haSTRUCT_CLASS; }

bool haIsLogicalScalar(const haArray* array) { return haIsLogical(array) && numel(array) == 1; }

bool haIsLogicalScalarTrue(const haArray* array) { return haIsLogicalScalar(array) && array->data.bytes[0] != 0; }

bool haIsCharVector(const haArray* array) { return haIsChar(array) && haIsVector(array); }

double haGetScalar(const haArray* array) {
  if (array == nullptr || numel(array) == 0) return 0.0;
  switch (array->classId) {
    case haLOGICAL_CLASS: return storage(array)[0] != 0 ? 1.0 : 0.0;
    case haCHAR_CLASS: return firstAsDouble<unsigned char>(array);
    case haDOUBLE_CLASS: return firstAsDouble<double>(array);
    case haSINGLE_CLASS: return firstAsDouble<float>(array);
    case haINT8_CLASS: return firstAsDouble<std::int8_t>(array);
    case haUINT8_CLASS: return firstAsDouble<std::uint8_t>(array);
    case haINT16_CLASS: return firstAsDouble<std::int16_t>(array);
    case haUINT16_CLASS: return firstAsDouble<std::uint16_t>(array);
    case haINT32_CLASS: return firstAsDouble<std::int32_t>(array);
    case haUINT32_CLASS: return firstAsDouble<std::uint32_t>(array);
    case haINT64_CLASS: return firstAsDouble<std::int64_t>(array);
    case haUINT64_CLASS: return firstAsDouble<std::uint64_t>(array);
    case haCELL_CLASS:
    case haSTRUCT_CLASS:
    case haUNKNOWN_CLASS: break;
  }
  return 0.0;
}

void* haGetData(haArray* array) {
  const haClassID c = haGetClassID(array);
  if (c == haCELL_CLASS || c == haSTRUCT_CLASS || c == haUNKNOWN_CLASS) return nullptr;
  if (array->dataShared) {
    // Whoever may write gets characters of its own first.
    SharedBlock* block = blockOf(array->data.heap);
    if (block->holders.load(std::memory_order_acquire) > 1) {
      array->data.heap = newSharedBlock(block->bytes(), block->size)->bytes();
      releaseSharedBlock(block);
    }
  }
  return storage(array);
}

const void* haGetData(const haArray* array) {
  const haClassID c = haGetClassID(array);
  if (c == haCELL_CLASS || c == haSTRUCT_CLASS || c == haUNKNOWN_CLASS) return nullptr;
  return storage(array);
}

std::string haArrayToStdString(const haArray* array) {
  if (!haIsChar(array)) return {};
  return std::string(reinterpret_cast<const char*>(storage(array)), numel(array));
}

haArray* haGetCell(const haArray* cell, std::size_t index) {
  if (!haIsCell(cell) || index >= numel(cell)) return nullptr;
  return cellSlots(cell)[index];
}

void haSetCell(haArray* cell, std::size_t index, haArray* value) {
  platform::HostArrayPtr owned(value);
  if (!haIsCell(cell)) throw std::invalid_argument("haSetCell: not a cell array");
  assert((value == nullptr || !value->inArena || cell->inArena) &&
         "an array outliving its arena would own arena memory");
  if (index >= numel(cell)) throw std::out_of_range("haSetCell: index beyond the cell array");
  haArray*& slot = cellSlots(cell)[index];
  if (slot != value) haDestroyArray(slot);
  slot = owned.release();
}

int haGetNumberOfFields(const haArray* structArray) {
  return haIsStruct(structArray) ? static_cast<int>(structArray->data.body->fieldNames.size()) : 0;
}

const char* haGetFieldNameByNumber(const haArray* structArray, int field) {
  if (field < 0 || field >= haGetNumberOfFields(structArray)) return nullptr;
  return structArray->data.body->fieldNames[static_cast<std::size_t>(field)].c_str();
}

int haGetFieldNumber(const haArray* structArray, const char* name) {
  if (!haIsStruct(structArray) || name == nullptr) return -1;
  const auto& names = structArray->data.body->fieldNames;
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

haArray* haGetFieldByNumber(const haArray* structArray, std::size_t element, int field) {
  const int nfields = haGetNumberOfFields(structArray);
  if (field < 0 || field >= nfields || element >= numel(structArray)) return nullptr;
  return structArray->data.body->values[element * static_cast<std::size_t>(nfields) + static_cast<std::size_t>(field)];
}

haArray* haGetField(const haArray* structArray, std::size_t element, const char* name) {
  return haGetFieldByNumber(structArray, element, haGetFieldNumber(structArray, name));
}

void haSetFieldByNumber(haArray* structArray, std::size_t element, int field, haArray* value) {
  platform::HostArrayPtr owned(value);
  if (!haIsStruct(structArray)) throw std::invalid_argument("haSetFieldByNumber: not a struct array");
  assert((value == nullptr || !value->inArena || structArray->inArena) &&
         "an array outliving its arena would own arena memory");
  const int nfields = haGetNumberOfFields(structArray);
  if (field < 0 || field >= nfields) throw std::out_of_range("haSetFieldByNumber: no such field number");
  if (element >= numel(structArray)) throw std::out_of_range("haSetFieldByNumber: element beyond the struct array");
  haArray*& slot =
      structArray->data.body->values[element * static_cast<std::size_t>(nfields) + static_cast<std::size_t>(field)];
  if (slot != value) haDestroyArray(slot);
  slot = owned.release();
}

// ---- shared characters -----------------------------------------------------------

platform::SharedChars::SharedChars(const char* bytes, std::size_t length) : block_(newSharedBlock(bytes, length)) {}

platform::SharedChars::~SharedChars() { releaseSharedBlock(static_cast<SharedBlock*>(block_)); }

haArray* platform::SharedChars::makeString() const {
  auto* block = static_cast<SharedBlock*>(block_);
  const std::size_t dims[2] = {1, block->size};
  haArray* a = allocateShape(haCHAR_CLASS, 2, dims);
  block->holders.fetch_add(1, std::memory_order_relaxed);
  a->data.heap = block->bytes();
  a->dataOnHeap = true;
  a->dataShared = true;
  return a;
}

// ---- arenas -------------------------------------------------------------------

namespace platform {

namespace {
constexpr std::size_t kArenaBlockSize = 256 * 1024;  // a multiple of kArenaAlignment
}  // namespace

HostArrayArena::HostArrayArena() = default;
HostArrayArena::~HostArrayArena() = default;

// Moves on to the next block that holds `bytes` (already rounded), adding one when none does.
void* HostArrayArena::allocateInNextBlock(std::size_t bytes) {
  std::size_t next = blocks_.empty() ? 0 : block_ + 1;
  while (next < blocks_.size() && blocks_[next].size < bytes) ++next;
  if (next == blocks_.size()) {
    const std::size_t size = std::max(kArenaBlockSize, bytes);
    blocks_.push_back({std::unique_ptr<std::max_align_t[]>(new std::max_align_t[size / kAlignment]), size});
  }
  block_ = next;
  free_ = reinterpret_cast<unsigned char*>(blocks_[block_].memory.get());
  end_ = free_ + blocks_[block_].size;
  void* at = free_;
  free_ += bytes;
  return at;
}

void HostArrayArena::reset() {
  if (blocks_.empty()) return;
  block_ = 0;
  free_ = reinterpret_cast<unsigned char*>(blocks_[0].memory.get());
  end_ = free_ + blocks_[0].size;
}

HostArrayArena::Scope::Scope(HostArrayArena& arena) : previous_(currentArena) { currentArena = &arena; }

HostArrayArena::Scope::~Scope() { currentArena = previous_; }

}  // namespace platform
