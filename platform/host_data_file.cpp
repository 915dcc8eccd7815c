#include "platform/host_data_file.h"

#include "platform/replacing_file.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "platform/cbor_stream.h"
#include "platform/host_array_cbor.h"
#include "platform/host_messages.h"

namespace {

namespace cbor = platform::cbor;

constexpr std::uint64_t kTagSelfDescribedCbor = 55799;
constexpr std::uint64_t kTagEncodedCborItem = 24;
constexpr unsigned char kSignature[] = {0xD9, 0xD9, 0xF7};  // the self-described CBOR tag
constexpr std::string_view kFormatName = "performance_tracer trace data";
// Version 2 follows each variable's value with its checksum; version 1 files
// have none and are still read.
constexpr std::uint64_t kFormatVersion = 2;
constexpr std::uint64_t kFirstCheckedVersion = 2;
constexpr std::size_t kChecksumSize = 32;  // SHA-256
// What the values of a file may take once decoded, counted over every value
// read from it: a multiple of its size, and at least a floor so that a small
// file of long repeated names still loads. A trace of a million points
// decodes to about 7 times its size.
constexpr std::uint64_t kDecodedSizePerFileByte = 32;
constexpr std::uint64_t kDecodedSizeFloor = std::uint64_t{1} << 20;

struct VariableEntry {
  std::string name;
  std::uint64_t offset;  // of the encoded value inside the file
  std::size_t size;
  const unsigned char* checksum;  // inside the file; nullptr in version 1 files
};

// SHA-256 of a variable's name and then its encoded value: a damaged byte
// anywhere in either, a renamed variable included, fails the comparison.
class Checksum {
 public:
  explicit Checksum(std::string_view name) : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
      throw std::runtime_error("the SHA-256 digest is not available from the crypto library");
    add(reinterpret_cast<const unsigned char*>(name.data()), name.size());
  }
  void add(const unsigned char* data, std::size_t size) {
    if (size > 0 && EVP_DigestUpdate(context_.get(), data, size) != 1)
      throw std::runtime_error("the SHA-256 digest failed");
  }
  std::array<unsigned char, kChecksumSize> finish() {
    std::array<unsigned char, kChecksumSize> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1 || length != kChecksumSize)
      throw std::runtime_error("the SHA-256 digest failed");
    return digest;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

class FileSink : public cbor::ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  /// Every byte written from now on also goes into `checksum` (null: none).
  void setChecksum(Checksum* checksum) { checksum_ = checksum; }
  void write(const unsigned char* data, std::size_t size) override {
    if (checksum_ != nullptr) checksum_->add(data, size);
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw std::system_error(errno, std::generic_category(), "cannot write the file");
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }

 private:
  int fd_;
  Checksum* checksum_ = nullptr;
};

[[noreturn]] void corrupt(const std::string& fileName, const std::string& problem) {
  haErrorMsgIdAndTxt("CorruptKvdFile", fileName, problem);
}

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

struct kvdFile {
  std::string name;
  bool writing = false;
  int fd = -1;
  std::string lastError;

  // reading
  const unsigned char* map = nullptr;
  std::size_t size = 0;
  std::uint64_t version = 0;
  std::vector<VariableEntry> variables;
  std::unique_ptr<cbor::DecodeBudget> budget;  // shared by every value read

  // writing
  std::string target;    // the file replaced: the name, or where its symbolic links lead
  std::string tempPath;  // removed on destruction unless the save was committed
  std::unique_ptr<FileSink> sink;
  std::unique_ptr<cbor::Writer> writer;
  std::vector<std::string> written;  // in file order
  bool broken = false;

  // A failed open hands errno to its caller through this destructor.
  ~kvdFile() {
    const int reason = errno;
    if (map != nullptr) ::munmap(const_cast<unsigned char*>(map), size);
    if (fd >= 0) ::close(fd);
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
    errno = reason;
  }
};

namespace {

// ---- reading --------------------------------------------------------------------

cbor::Item expectText(cbor::Reader& in, std::string_view text, const char* what) {
  cbor::Item item = in.next();
  if (item.kind != cbor::Item::Kind::TextString ||
      std::string_view(reinterpret_cast<const char*>(item.data), item.size) != text)
    throw cbor::DecodeError(std::string("expected ") + what, item.offset);
  return item;
}

// The format version.
std::uint64_t readHeader(cbor::Reader& in) {
  cbor::Item item = in.next();
  if (item.kind != cbor::Item::Kind::Tag || item.value != kTagSelfDescribedCbor)
    throw cbor::DecodeError("it does not begin with the trace data file signature", item.offset);
  item = in.next();
  if (item.kind != cbor::Item::Kind::Map || item.value != 3)
    throw cbor::DecodeError("expected the map of format, version and variables", item.offset);
  expectText(in, "format", "the key \"format\"");
  item = in.next();
  const std::string_view format(reinterpret_cast<const char*>(item.data), item.size);
  if (item.kind != cbor::Item::Kind::TextString || format != kFormatName)
    throw cbor::DecodeError("it is not a trace data file", item.offset);
  expectText(in, "version", "the key \"version\"");
  item = in.next();
  if (item.kind != cbor::Item::Kind::UnsignedInt || item.value == 0)
    throw cbor::DecodeError("expected the format version", item.offset);
  if (item.value > kFormatVersion)
    throw cbor::DecodeError(
        "it was written by a newer version of the format (version " + std::to_string(item.value) + ")", item.offset);
  const std::uint64_t version = item.value;
  expectText(in, "variables", "the key \"variables\"");
  return version;
}

// Locates every variable without decoding any: each one's value is wrapped
// in a byte string, so the whole file is checked for truncation here.
void readIndex(kvdFile& file) {
  cbor::Reader in(file.map, file.map + file.size);
  file.version = readHeader(in);
  const bool checked = file.version >= kFirstCheckedVersion;
  const cbor::Item map = in.next();
  const bool indefinite = map.kind == cbor::Item::Kind::IndefiniteMap;
  if (!indefinite && map.kind != cbor::Item::Kind::Map)
    throw cbor::DecodeError("expected the map of variables", map.offset);
  std::unordered_set<std::string> seen;
  for (std::uint64_t i = 0; indefinite || i < map.value; ++i) {
    const cbor::Item name = in.next();
    if (indefinite && name.kind == cbor::Item::Kind::Break) break;
    if (name.kind != cbor::Item::Kind::TextString || name.size == 0)
      throw cbor::DecodeError("expected a variable name", name.offset);
    std::string text(reinterpret_cast<const char*>(name.data), name.size);
    if (!seen.insert(text).second) throw cbor::DecodeError("variable '" + text + "' appears twice", name.offset);
    if (checked) {
      const cbor::Item pair = in.next();
      if (pair.kind != cbor::Item::Kind::Array || pair.value != 2)
        throw cbor::DecodeError("variable '" + text + "' is not a value with its checksum", pair.offset);
    }
    const cbor::Item tag = in.next();
    if (tag.kind != cbor::Item::Kind::Tag || tag.value != kTagEncodedCborItem)
      throw cbor::DecodeError("variable '" + text + "' is not wrapped as an encoded item", tag.offset);
    const cbor::Item value = in.next();
    if (value.kind != cbor::Item::Kind::ByteString)
      throw cbor::DecodeError("variable '" + text + "' is not wrapped as an encoded item", value.offset);
    const unsigned char* checksum = nullptr;
    if (checked) {
      const cbor::Item sum = in.next();
      if (sum.kind != cbor::Item::Kind::ByteString || sum.size != kChecksumSize)
        throw cbor::DecodeError("variable '" + text + "' has no checksum", sum.offset);
      checksum = sum.data;
    }
    file.variables.push_back(
        {std::move(text), static_cast<std::uint64_t>(value.data - file.map), value.size, checksum});
  }
  if (!in.atEnd()) throw cbor::DecodeError("unexpected bytes after the end of the trace data", in.offset());
}

// Every variable, not only those a reader asks for: a damaged name would
// otherwise pass for a variable the file does not have.
void verifyChecksums(const kvdFile& file) {
  for (const VariableEntry& entry : file.variables) {
    if (entry.checksum == nullptr) continue;
    Checksum checksum(entry.name);
    checksum.add(file.map + entry.offset, entry.size);
    if (std::memcmp(checksum.finish().data(), entry.checksum, kChecksumSize) != 0)
      corrupt(file.name, "variable '" + entry.name + "': its bytes do not match its checksum");
  }
}

kvdFile* openForReading(const char* name) {
  auto file = std::make_unique<kvdFile>();
  file->name = name;
  file->fd = ::open(name, O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (file->fd < 0 || ::fstat(file->fd, &info) != 0) return nullptr;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  file->size = static_cast<std::size_t>(info.st_size);
  if (file->size == 0) corrupt(name, "the file is empty");
  void* map = ::mmap(nullptr, file->size, PROT_READ, MAP_PRIVATE, file->fd, 0);
  if (map == MAP_FAILED) return nullptr;
  file->map = static_cast<const unsigned char*>(map);
  ::madvise(map, file->size, MADV_SEQUENTIAL);

  const std::size_t prefix = std::min(file->size, sizeof kSignature);
  if (std::memcmp(file->map, kSignature, prefix) != 0)
    corrupt(name, "it does not begin with the trace data file signature");
  try {
    readIndex(*file);
  } catch (const cbor::DecodeError& e) {
    corrupt(name, e.what());
  }
  verifyChecksums(*file);
  const std::uint64_t limit = std::max(kDecodedSizeFloor, kDecodedSizePerFileByte * file->size);
  file->budget = std::make_unique<cbor::DecodeBudget>(limit, std::to_string(kDecodedSizePerFileByte) +
                                                                 " times the file's size, and at least " +
                                                                 std::to_string(kDecodedSizeFloor >> 20) + " MiB");
  return file.release();
}

// ---- writing -------------------------------------------------------------------

constexpr std::string_view kTemporaryPrefix = ".kvdtmp-";

kvdFile* openForWriting(const char* name) {
  std::string target = name;
  if (!platform::followLinks(platform::systemFileCalls(), target)) return nullptr;
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    errno = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  platform::removeStaleTemporaries(platform::folderOf(target), kTemporaryPrefix);

  auto file = std::make_unique<kvdFile>();
  file->name = name;
  file->target = target;
  file->writing = true;
  // The name begins with the writer's process number, by which a later save
  // tells a killed save's leftover from a save still running.
  std::string temp;
  file->fd = platform::createTemporaryBeside(platform::systemFileCalls(), target, kTemporaryPrefix, temp);
  if (file->fd < 0) return nullptr;
  file->tempPath = temp;
  if (exists) ::fchmod(file->fd, existing.st_mode & 07777);  // replacing keeps the permissions

  file->sink = std::make_unique<FileSink>(file->fd);
  file->writer = std::make_unique<cbor::Writer>(*file->sink);
  try {
    cbor::Writer& out = *file->writer;
    out.tag(kTagSelfDescribedCbor);
    out.mapStart(3);
    out.text("format");
    out.text(kFormatName);
    out.text("version");
    out.uint(kFormatVersion);
    out.text("variables");
    out.indefiniteMapStart();
    out.flush();
  } catch (const std::exception& e) {
    const auto* system = dynamic_cast<const std::system_error*>(&e);
    errno = system != nullptr ? system->code().value() : EIO;
    return nullptr;
  }
  return file.release();
}

void writeBigEndian64(unsigned char* out, std::uint64_t value) {
  for (int i = 7; i >= 0; --i, value >>= 8) out[i] = static_cast<unsigned char>(value & 0xFF);
}

// name, then 24(<<value>>). The byte string's length is not known until the
// value is written, so it is written in the 8-byte form and filled in after.
template <class EncodeValue>
void writeVariable(kvdFile& file, const std::string& name, EncodeValue encodeValue) {
  cbor::Writer& out = *file.writer;
  out.text(name);
  out.arrayStart(2);
  out.tag(kTagEncodedCborItem);
  const unsigned char lengthPlaceholder[9] = {0x5B};
  out.raw(lengthPlaceholder, sizeof lengthPlaceholder);
  const std::uint64_t lengthAt = out.bytesWritten() - 8;
  // The checksum takes exactly the value's bytes, as the sink passes them on.
  out.flush();
  Checksum checksum(name);
  file.sink->setChecksum(&checksum);
  try {
    encodeValue(out);
    out.flush();
  } catch (...) {
    file.sink->setChecksum(nullptr);
    throw;
  }
  file.sink->setChecksum(nullptr);
  const std::uint64_t length = out.bytesWritten() - (lengthAt + 8);
  const auto digest = checksum.finish();
  out.bytes(digest.data(), digest.size());
  unsigned char encoded[8];
  writeBigEndian64(encoded, length);
  if (::pwrite(file.fd, encoded, sizeof encoded, static_cast<off_t>(lengthAt)) != sizeof encoded)
    throw std::system_error(errno, std::generic_category(), "cannot write the file");
}

// The checks every put makes before it writes anything; 0 when they pass.
int refuse(kvdFile& file, std::string why) {
  file.lastError = std::move(why);
  return 1;
}

int checkPut(kvdFile& file, const char* name, bool hasValue) {
  if (!file.writing) return refuse(file, "the file is open for reading");
  if (file.broken) return refuse(file, "an earlier write failed: " + file.lastError);
  if (name == nullptr || *name == '\0') return refuse(file, "a variable needs a name");
  if (!cbor::isValidUtf8(name)) return refuse(file, "the variable name is not valid UTF-8");
  if (!hasValue) return refuse(file, "variable '" + std::string(name) + "' has no value");
  if (std::find(file.written.begin(), file.written.end(), name) != file.written.end())
    return refuse(file, "variable '" + std::string(name) + "' is already in the file");
  return 0;
}

// A failed write leaves half a variable in the file: nothing after it can be trusted.
template <class EncodeValue>
int put(kvdFile& file, const char* name, EncodeValue encodeValue) {
  try {
    writeVariable(file, name, encodeValue);
  } catch (const std::exception& e) {
    file.broken = true;
    return refuse(file, "variable '" + std::string(name) + "': " + e.what());
  }
  file.written.emplace_back(name);
  file.lastError.clear();
  return 0;
}

int commit(kvdFile& file) {
  try {
    file.writer->breakMark();
    file.writer->flush();
  } catch (const std::exception& e) {
    file.lastError = e.what();
    return 1;
  }
  // Data first, then the name: a crash leaves either the old file or the new one.
  if (::fdatasync(file.fd) != 0) {
    file.lastError = errnoText("cannot flush the file");
    return 1;
  }
  const int fd = std::exchange(file.fd, -1);
  if (::close(fd) != 0) {
    file.lastError = errnoText("cannot close the file");
    return 1;
  }
  if (::rename(file.tempPath.c_str(), file.target.c_str()) != 0) {
    file.lastError = errnoText("cannot replace the file");
    return 1;
  }
  file.tempPath.clear();
  return 0;
}

}  // namespace

kvdFile* kvdOpen(const char* name, const char* mode) {
  errno = EINVAL;
  if (name == nullptr || mode == nullptr || *name == '\0') return nullptr;
  const std::string_view m(mode);
  if (m == "r") return openForReading(name);
  if (m == "w") return openForWriting(name);
  errno = EINVAL;
  return nullptr;
}

namespace {

const VariableEntry* findVariable(const kvdFile* file, const char* name) {
  if (file == nullptr || name == nullptr || file->writing) return nullptr;
  for (const VariableEntry& entry : file->variables)
    if (entry.name == name) return &entry;
  return nullptr;
}

// Runs one step of decoding a variable; any fault of its bytes becomes the
// file's "CorruptKvdFile" error naming the variable.
template <class Step>
auto decodingStep(const kvdFile& file, const VariableEntry& entry, Step step) {
  try {
    return step();
  } catch (const cbor::DecodeError& e) {
    corrupt(file.name, "variable '" + entry.name + "': " + e.what());
  } catch (const std::logic_error& e) {  // a shape the host arrays refuse
    corrupt(file.name, "variable '" + entry.name + "': " + e.what());
  }
}

cbor::Reader readerOf(const kvdFile& file, const VariableEntry& entry) {
  const unsigned char* begin = file.map + entry.offset;
  return cbor::Reader(begin, begin + entry.size, entry.offset);
}

platform::HostArrayPtr decodeVariable(const kvdFile& file, const VariableEntry& entry) {
  return decodingStep(file, entry, [&] {
    cbor::Reader in = readerOf(file, entry);
    platform::HostArrayPtr value = cbor::decodeHostArray(in, 0, file.budget.get());
    if (!value) throw cbor::DecodeError("it holds no value", entry.offset);
    if (!in.atEnd()) throw cbor::DecodeError("unexpected bytes after its value", in.offset());
    return value;
  });
}

// The pages were only needed for this decode; give them back.
void releasePages(const kvdFile& file, const VariableEntry& entry) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(file.map + entry.offset);
  const auto from = begin / page * page;
  ::madvise(reinterpret_cast<void*>(from), begin + entry.size - from, MADV_DONTNEED);
}

}  // namespace

haArray* kvdGetVariable(kvdFile* file, const char* name) {
  const VariableEntry* entry = findVariable(file, name);
  if (entry == nullptr) return nullptr;
  platform::HostArrayPtr value = decodeVariable(*file, *entry);
  releasePages(*file, *entry);
  return value.release();
}

bool kvdVisitCellVariable(
    kvdFile* file, const char* name,
    const std::function<void(std::size_t index, std::size_t count, const haArray* element)>& visit) {
  const VariableEntry* entry = findVariable(file, name);
  if (entry == nullptr) return false;
  cbor::Reader in = readerOf(*file, *entry);
  cbor::StringRefTable strings;
  const cbor::Item head = decodingStep(*file, *entry, [&] {
    cbor::Reader peek(in);
    cbor::Item item = peek.next();
    if (item.kind == cbor::Item::Kind::Tag && item.value == cbor::kTagStringRefNamespace) {
      in = peek;  // the namespace holds the whole value
      in.useStringRefs(&strings);
      item = cbor::Reader(in).next();
    }
    return item;
  });
  if (head.kind != cbor::Item::Kind::Array) {
    // Any other shape is decoded whole; only a 1-by-n cell can be streamed.
    platform::HostArrayPtr value = decodeVariable(*file, *entry);
    releasePages(*file, *entry);
    if (!haIsCell(value.get())) return true;
    for (std::size_t i = 0, n = haGetNumberOfElements(value.get()); i < n; ++i) visit(i, n, haGetCell(value.get(), i));
    return true;
  }
  decodingStep(*file, *entry, [&] {
    in.next();
    if (head.value > in.remaining()) throw cbor::DecodeError("more elements than the data can hold", head.offset);
  });
  // Each element lives only until its visit is over: it is decoded into an
  // arena that the next element reuses.
  platform::HostArrayArena arena;
  for (std::uint64_t i = 0; i < head.value; ++i) {
    platform::HostArrayPtr element;
    {
      const platform::HostArrayArena::Scope scope(arena);
      // Elements sit one level inside the cell, as they would in a whole decode.
      element = decodingStep(*file, *entry, [&] { return cbor::decodeHostArray(in, 1, file->budget.get()); });
    }
    visit(static_cast<std::size_t>(i), static_cast<std::size_t>(head.value), element.get());
    element.reset();
    arena.reset();
  }
  decodingStep(*file, *entry, [&] {
    if (!in.atEnd()) throw cbor::DecodeError("unexpected bytes after its value", in.offset());
  });
  releasePages(*file, *entry);
  return true;
}

int kvdPutVariable(kvdFile* file, const char* name, const haArray* array) {
  if (file == nullptr) return 1;
  if (const int refused = checkPut(*file, name, array != nullptr)) return refused;
  return put(*file, name, [&](cbor::Writer& out) {
    out.beginStringRefs();
    cbor::encodeHostArray(out, array);
    out.endStringRefs();
  });
}

int kvdPutCellVariable(kvdFile* file, const char* name, std::size_t count,
                       const std::function<platform::HostArrayPtr(std::size_t index)>& element) {
  if (file == nullptr) return 1;
  if (const int refused = checkPut(*file, name, static_cast<bool>(element))) return refused;
  // The element maker's own failure is the caller's business: it goes out as
  // it came, after the save was made void.
  std::exception_ptr makerFailed;
  const int result = put(*file, name, [&](cbor::Writer& out) {
    out.beginStringRefs();
    out.arrayStart(count);
    for (std::size_t i = 0; i < count; ++i) {
      platform::HostArrayPtr value;
      try {
        value = element(i);
      } catch (...) {
        makerFailed = std::current_exception();
        throw std::runtime_error("the element maker failed");
      }
      cbor::encodeHostArray(out, value.get(), 1);
    }
    out.endStringRefs();
  });
  if (makerFailed) std::rethrow_exception(makerFailed);
  return result;
}

int kvdClose(kvdFile* file) {
  if (file == nullptr) return 1;
  std::unique_ptr<kvdFile> owned(file);
  if (!file->writing) return 0;
  if (file->broken) return 1;
  return commit(*file);
}

std::vector<std::string> kvdGetVariableNames(const kvdFile* file) {
  std::vector<std::string> names;
  if (file == nullptr) return names;
  if (file->writing) return file->written;
  for (const VariableEntry& entry : file->variables) names.push_back(entry.name);
  return names;
}

void kvdDiscard(kvdFile* file) { std::unique_ptr<kvdFile> owned(file); }

const char* kvdLastError(const kvdFile* file) { return file ? file->lastError.c_str() : ""; }
