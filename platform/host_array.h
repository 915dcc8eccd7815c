// Host arrays: the typed, dimensioned values exchanged with the host language.
//
//   platform::HostArrayPtr cell(haCreateCellMatrix(1, 2));
//   haSetCell(cell.get(), 0, haCreateString("phase"));  // the cell now owns the string
//
// A C-style API over opaque `haArray*` handles. Ownership: an array belongs to
// whoever created it until it is placed into a container (`haSetCell`,
// `haSetFieldByNumber` take it over, destroying any element they replace),
// returned to the host, or destroyed with `haDestroyArray`, which releases the
// whole tree. `haDuplicateArray` copies deeply. Handles read out of a container
// (`haGetCell`, `haGetFieldByNumber`) are borrowed: they stay owned by the
// container.
//
// Storage is column-major and contiguous. Every array has at least two
// dimensions; the dimensions are kept as given (trailing ones are not dropped).
// Character arrays hold bytes: one element per byte of the (UTF-8) text, so any
// std::string round-trips exactly, embedded NULs included. An element of a cell
// or a struct field that was never set is empty: reading it gives nullptr.
//
// Misuse (an index beyond the array, a class that the call does not accept)
// throws std::out_of_range or std::invalid_argument; allocation failure throws
// std::bad_alloc. Read-only queries accept nullptr and answer false, 0 or "".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

struct haArray;

enum haClassID : std::uint8_t {
  haUNKNOWN_CLASS = 0,
  haCELL_CLASS,
  haSTRUCT_CLASS,
  haLOGICAL_CLASS,
  haCHAR_CLASS,
  haDOUBLE_CLASS,
  haSINGLE_CLASS,
  haINT8_CLASS,
  haUINT8_CLASS,
  haINT16_CLASS,
  haUINT16_CLASS,
  haINT32_CLASS,
  haUINT32_CLASS,
  haINT64_CLASS,
  haUINT64_CLASS,
};

/// Only real data exists; haCOMPLEX is refused.
enum haComplexity { haREAL = 0, haCOMPLEX = 1 };

// ---- creation (the caller owns the result) --------------------------------

haArray* haCreateCellMatrix(std::size_t rows, std::size_t cols);
haArray* haCreateCellArray(std::size_t ndims, const std::size_t* dims);
/// Struct array with `nfields` distinct, non-empty field names, in that order.
haArray* haCreateStructArray(std::size_t ndims, const std::size_t* dims, int nfields, const char* const* fieldNames);
/// Numeric or logical array of zeros; `classId` is a numeric class or haLOGICAL_CLASS.
haArray* haCreateNumericArray(std::size_t ndims, const std::size_t* dims, haClassID classId, haComplexity complexity);
haArray* haCreateNumericMatrix(std::size_t rows, std::size_t cols, haClassID classId, haComplexity complexity);
/// rows-by-cols double array of zeros.
haArray* haCreateDoubleMatrix(std::size_t rows, std::size_t cols, haComplexity complexity);
haArray* haCreateDoubleScalar(double value);
haArray* haCreateLogicalScalar(bool value);
/// Character array of zero bytes.
haArray* haCreateCharArray(std::size_t ndims, const std::size_t* dims);
/// 1-by-n character row vector of the bytes of `text` up to its NUL; nullptr gives 1-by-0.
haArray* haCreateString(const char* text);
/// 1-by-length character row vector of exactly these bytes (NULs included).
haArray* haCreateStringFromNChars(const char* bytes, std::size_t length);

// ---- release and copy -------------------------------------------------------

/// Releases the array and everything it contains; nullptr is ignored.
void haDestroyArray(haArray* array);
/// Deep copy owned by the caller; nullptr gives nullptr.
haArray* haDuplicateArray(const haArray* array);

// ---- shape and class ---------------------------------------------------------

haClassID haGetClassID(const haArray* array);
/// "double", "int32", "cell", ...; "unknown" for nullptr.
const char* haGetClassName(const haArray* array);
std::size_t haGetNumberOfElements(const haArray* array);
std::size_t haGetNumberOfDimensions(const haArray* array);
std::vector<std::size_t> haGetDimensions(const haArray* array);
/// Size along dimension k (0-based); 1 beyond the last dimension.
std::size_t haGetDimension(const haArray* array, std::size_t k);
/// Number of rows.
std::size_t haGetM(const haArray* array);
/// Product of all dimensions but the first.
std::size_t haGetN(const haArray* array);
/// Bytes per element for numeric, logical and char arrays; 0 for cells and structs.
std::size_t haGetElementSize(const haArray* array);
/// Reshapes in place; the new dimensions must hold the same number of elements.
void haSetDimensions(haArray* array, std::size_t ndims, const std::size_t* dims);
/// Column-major linear index of the subscripts; subscripts beyond `nsubs` count as 0.
std::size_t haCalcSingleSubscript(const haArray* array, std::size_t nsubs, const std::size_t* subs);

// ---- type tests ---------------------------------------------------------------

bool haIsEmpty(const haArray* array);
/// One element, whatever the class.
bool haIsScalar(const haArray* array);
/// Two dimensions, one of them 1 (1-by-n or n-by-1, n >= 0).
bool haIsVector(const haArray* array);
/// double, single or an integer class.
bool haIsNumeric(const haArray* array);
/// int8 ... uint64.
bool haIsInteger(const haArray* array);
bool haIsDouble(const haArray* array);
bool haIsInt32(const haArray* array);
bool haIsUint32(const haArray* array);
bool haIsLogical(const haArray* array);
bool haIsChar(const haArray* array);
bool haIsCell(const haArray* array);
bool haIsStruct(const haArray* array);
bool haIsLogicalScalar(const haArray* array);
bool haIsLogicalScalarTrue(const haArray* array);
/// Character row or column vector (a 1-by-0 empty text included).
bool haIsCharVector(const haArray* array);

// ---- values -----------------------------------------------------------------

/// First element as double (numeric, logical, char); 0.0 when empty, a cell or a struct.
double haGetScalar(const haArray* array);
/// Contiguous element storage of a numeric, logical or char array; nullptr otherwise.
void* haGetData(haArray* array);
const void* haGetData(const haArray* array);
/// All bytes of a char array in linear order; "" for anything else.
std::string haArrayToStdString(const haArray* array);

/// The element type that stores each class; logical is bool, char is char.
template <class T>
constexpr haClassID haClassOf() {
  if constexpr (std::is_same_v<T, double>)
    return haDOUBLE_CLASS;
  else if constexpr (std::is_same_v<T, float>)
    return haSINGLE_CLASS;
  else if constexpr (std::is_same_v<T, std::int8_t>)
    return haINT8_CLASS;
  else if constexpr (std::is_same_v<T, std::uint8_t>)
    return haUINT8_CLASS;
  else if constexpr (std::is_same_v<T, std::int16_t>)
    return haINT16_CLASS;
  else if constexpr (std::is_same_v<T, std::uint16_t>)
    return haUINT16_CLASS;
  else if constexpr (std::is_same_v<T, std::int32_t>)
    return haINT32_CLASS;
  else if constexpr (std::is_same_v<T, std::uint32_t>)
    return haUINT32_CLASS;
  else if constexpr (std::is_same_v<T, std::int64_t>)
    return haINT64_CLASS;
  else if constexpr (std::is_same_v<T, std::uint64_t>)
    return haUINT64_CLASS;
  else if constexpr (std::is_same_v<T, bool>)
    return haLOGICAL_CLASS;
  else if constexpr (std::is_same_v<T, char>)
    return haCHAR_CLASS;
  else
    static_assert(!sizeof(T), "no host class stores this type");
}

/// Typed element access: `haGetElements<std::int32_t>(a)[0]`; nullptr unless the class stores T.
template <class T>
T* haGetElements(haArray* array) {
  return haGetClassID(array) == haClassOf<T>() ? static_cast<T*>(haGetData(array)) : nullptr;
}
template <class T>
const T* haGetElements(const haArray* array) {
  return haGetClassID(array) == haClassOf<T>() ? static_cast<const T*>(haGetData(array)) : nullptr;
}

// ---- cells ------------------------------------------------------------------

/// Borrowed element `index` of a cell array; nullptr when empty or not a cell.
haArray* haGetCell(const haArray* cell, std::size_t index);
/// Places `value` (may be nullptr) at `index`; the cell takes ownership of it,
/// even when the call throws, and destroys the element it replaces.
void haSetCell(haArray* cell, std::size_t index, haArray* value);

// ---- structs ----------------------------------------------------------------

int haGetNumberOfFields(const haArray* structArray);
/// Name of field `field` (0-based); nullptr when out of range or not a struct.
const char* haGetFieldNameByNumber(const haArray* structArray, int field);
/// Number of the named field; -1 when there is none.
int haGetFieldNumber(const haArray* structArray, const char* name);
/// Borrowed value of field `field` of element `element`; nullptr when empty.
haArray* haGetFieldByNumber(const haArray* structArray, std::size_t element, int field);
/// Like haGetFieldByNumber, by name.
haArray* haGetField(const haArray* structArray, std::size_t element, const char* name);
/// The struct takes ownership of `value` as haSetCell does.
void haSetFieldByNumber(haArray* structArray, std::size_t element, int field, haArray* value);

namespace platform {

struct HostArrayDeleter {
  void operator()(haArray* array) const noexcept { haDestroyArray(array); }
};

/// Owning handle for arrays our own code creates; `release()` hands them on.
using HostArrayPtr = std::unique_ptr<haArray, HostArrayDeleter>;

/// Characters that many char arrays hold at once instead of a copy each: a
/// text met many times (a string referenced throughout a trace data file) is
/// stored once. The arrays behave as any other: one written through
/// haGetData gets characters of its own first. The bytes live as long as
/// this or any array made from it.
class SharedChars {
 public:
  SharedChars(const char* bytes, std::size_t length);
  ~SharedChars();
  SharedChars(const SharedChars&) = delete;
  SharedChars& operator=(const SharedChars&) = delete;

  /// A new 1-by-n char array holding the bytes; the caller owns it.
  haArray* makeString() const;

 private:
  void* block_;
};

/// Memory for short-lived arrays made and dropped one batch at a time (the
/// records of a trace data file). While a Scope is open on a thread, every
/// array created on that thread takes its handle and data from the arena with
/// a pointer bump, and destroying it frees nothing of them; `reset()` takes
/// all of it back at once. Rules: destroy every array made in the arena before
/// resetting it, and never place one into an array made outside it. Struct
/// bodies and long dimension lists still come from the heap and are freed on
/// destruction as usual.
class HostArrayArena {
 public:
  HostArrayArena();
  ~HostArrayArena();
  HostArrayArena(const HostArrayArena&) = delete;
  HostArrayArena& operator=(const HostArrayArena&) = delete;

  /// Makes all the memory reusable; keeps it for the next batch.
  void reset();
  /// Memory aligned for any type that lives until reset() or the arena's end.
  void* allocate(std::size_t bytes) {
    bytes = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    if (static_cast<std::size_t>(end_ - free_) < bytes) return allocateInNextBlock(bytes);
    void* at = free_;
    free_ += bytes;
    return at;
  }

  /// Arrays created on this thread while it lives come from `arena`.
  class Scope {
   public:
    explicit Scope(HostArrayArena& arena);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    HostArrayArena* previous_;
  };

 private:
  static constexpr std::size_t kAlignment = alignof(std::max_align_t);
  void* allocateInNextBlock(std::size_t bytes);

  struct Block {
    std::unique_ptr<std::max_align_t[]> memory;
    std::size_t size;
  };
  std::vector<Block> blocks_;
  std::size_t block_ = 0;          ///< the block being filled
  unsigned char* free_ = nullptr;  ///< its first byte not handed out
  unsigned char* end_ = nullptr;   ///< its end
};

}  // namespace platform
