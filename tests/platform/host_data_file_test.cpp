#include "platform/host_data_file.h"

#include <cbor.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <bit>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/cbor_stream.h"
#include "platform/host_array_cbor.h"
#include "platform/host_messages.h"
#include "support/host_array_equal.h"
#include "support/host_records.h"
#include "support/scratch_files.h"

namespace {

using platform::HostArrayPtr;
using platform::HostError;
using pt_test::fileBytes;
using pt_test::ScratchFolder;
using pt_test::writeFileBytes;

// A new numeric (or, for haCHAR_CLASS, text) array of `dims`; the caller owns it.
template <class T>
haArray* numeric(haClassID classId, std::vector<std::size_t> dims, std::vector<T> values) {
  haArray* a = classId == haCHAR_CLASS ? haCreateCharArray(dims.size(), dims.data())
                                       : haCreateNumericArray(dims.size(), dims.data(), classId, haREAL);
  std::copy(values.begin(), values.end(), static_cast<T*>(haGetData(a)));
  return a;
}

using pt_test::cellRecord;

// One of everything the encoding distinguishes.
HostArrayPtr everyKindOfValue() {
  const char* names[] = {"processorStr", "numCoresStr"};
  const std::size_t one[2] = {1, 1}, twoByOne[2] = {2, 1};
  HostArrayPtr info(haCreateStructArray(2, one, 2, names));
  haSetFieldByNumber(info.get(), 0, 0, haCreateString("AMD EPYC"));
  HostArrayPtr pair(haCreateStructArray(2, twoByOne, 2, names));
  haSetFieldByNumber(pair.get(), 1, 1, haCreateDoubleScalar(8));
  HostArrayPtr noFields(haCreateStructArray(2, one, 0, nullptr));
  const std::string bytes("bad\xff\0utf8", 9);
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<haArray*> doubles;
  const double nanWithPayload = std::bit_cast<double>(0xFFF8000000001234ull);
  for (double d :
       {0.0, -0.0, 1.5, 65504.0, 0.1, 1e-310, 1.0e300, kInf, -kInf, nanWithPayload, 1.7e9 + 0.123456, 100000.0})
    doubles.push_back(haCreateDoubleScalar(d));
  const std::string longText(100, 'L');  // stored once, then referenced
  HostArrayPtr matrix(haCreateCellMatrix(2, 2));
  haSetCell(matrix.get(), 3, haCreateCellMatrix(1, 0));
  return cellRecord({
      haCreateString("1"),
      numeric<std::int32_t>(haINT32_CLASS, {1, 1}, {std::numeric_limits<std::int32_t>::min()}),
      numeric<std::int32_t>(haINT32_CLASS, {1, 1}, {std::numeric_limits<std::int32_t>::max()}),
      numeric<std::uint32_t>(haUINT32_CLASS, {1, 1}, {4000000000u}),
      haCreateLogicalScalar(false),
      cellRecord(doubles).release(),
      nullptr,
      haCreateCellMatrix(1, 0),
      haCreateCellMatrix(0, 0),
      haCreateDoubleMatrix(0, 0, haREAL),
      numeric<double>(haDOUBLE_CLASS, {1, 3}, {1, 2, 3}),
      numeric<std::int16_t>(haINT16_CLASS, {3, 2}, {-1, 2, -3, 4, -5, 6}),
      numeric<std::uint64_t>(haUINT64_CLASS, {2, 1, 2}, {1, 2, ~0ull, 4}),
      numeric<float>(haSINGLE_CLASS, {1, 1}, {0.3f}),
      numeric<std::int8_t>(haINT8_CLASS, {1, 2}, {-128, 127}),
      numeric<std::uint8_t>(haUINT8_CLASS, {1, 1}, {200}),
      numeric<std::int64_t>(haINT64_CLASS, {1, 1}, {std::numeric_limits<std::int64_t>::min()}),
      numeric<bool>(haLOGICAL_CLASS, {1, 3}, {true, false, true}),
      numeric<bool>(haLOGICAL_CLASS, {2, 1}, {false, true}),
      haCreateStringFromNChars(bytes.data(), bytes.size()),
      haCreateString("Ünïcode ✓ text"),
      haCreateString(""),
      haCreateString(longText.c_str()),
      haCreateString(longText.c_str()),
      numeric<char>(haCHAR_CLASS, {2, 2}, {'a', 'b', 'c', 'd'}),
      info.release(),
      pair.release(),
      noFields.release(),
      matrix.release(),
  });
}

void save(const std::string& path, const std::vector<std::pair<const char*, const haArray*>>& variables) {
  kvdFile* file = kvdOpen(path.c_str(), "w");
  ASSERT_NE(file, nullptr) << path;
  for (const auto& [name, value] : variables) EXPECT_EQ(kvdPutVariable(file, name, value), 0) << kvdLastError(file);
  ASSERT_EQ(kvdClose(file), 0);
}

// The problem text of the CorruptKvdFile error that opening the file and
// decoding every variable raises, or what happened instead.
std::string damageReported(const std::string& path) {
  kvdFile* file = nullptr;
  try {
    file = kvdOpen(path.c_str(), "r");
    if (file == nullptr) return "wrong error: the file did not open";
    for (const std::string& name : kvdGetVariableNames(file)) HostArrayPtr(kvdGetVariable(file, name.c_str()));
    EXPECT_EQ(kvdClose(file), 0);
    return "loaded";
  } catch (const HostError& e) {
    kvdClose(file);
    if (e.key() != "CorruptKvdFile" || e.arguments().size() != 2 || e.arguments()[0] != path)
      return std::string("wrong error: ") + e.what();
    return e.arguments()[1];
  }
}

class StringSink : public platform::cbor::ByteSink {
 public:
  void write(const unsigned char* data, std::size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
  }
  std::string bytes;
};

HostArrayPtr decode(const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  platform::cbor::Reader in(data, data + bytes.size());
  return platform::cbor::decodeHostArray(in);
}

// Bytes written as hexadecimal pairs, spaces ignored.
std::string hexBytes(std::string_view hex) {
  std::string bytes;
  for (std::size_t at = 0; at < hex.size(); ++at) {
    if (hex[at] == ' ') continue;
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16));
    ++at;
  }
  return bytes;
}

// A trace data file holding one variable "v" whose encoded value is `payload`.
std::string fileWithPayload(const std::string& payload, std::uint64_t version = 1,
                            const char* format = "performance_tracer trace data") {
  StringSink file;
  platform::cbor::Writer out(file);
  out.tag(55799);
  out.mapStart(3);
  out.text("format");
  out.text(format);
  out.text("version");
  out.uint(version);
  out.text("variables");
  out.mapStart(1);
  out.text("v");
  out.tag(24);
  out.bytes(payload.data(), payload.size());
  out.flush();
  return file.bytes;
}

// Each test's own folder, and a file in it.
class HostDataFile : public ::testing::Test {
 protected:
  ScratchFolder folder;
  const std::string path = folder.file("trace.kvd");
};

TEST_F(HostDataFile, RoundTripsNestedValuesOfEveryClassAsOrdinaryCbor) {
  HostArrayPtr all = everyKindOfValue();
  HostArrayPtr root(haCreateString("/opt/kavlor"));
  save(path, {{"Everything", all.get()}, {"KAVLORRoot", root.get()}});
  EXPECT_EQ(folder.entries(), 1u);  // no temporary file left behind

  kvdFile* file = kvdOpen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(kvdGetVariableNames(file), (std::vector<std::string>{"Everything", "KAVLORRoot"}));
  // In any order, each on its own.
  EXPECT_TRUE(pt_test::sameHostArray(root.get(), HostArrayPtr(kvdGetVariable(file, "KAVLORRoot")).get()));
  EXPECT_TRUE(pt_test::sameHostArray(all.get(), HostArrayPtr(kvdGetVariable(file, "Everything")).get()));
  EXPECT_EQ(kvdGetVariable(file, "MapTestPath"), nullptr);
  EXPECT_EQ(kvdClose(file), 0);

  // Any CBOR decoder reads the whole file as one tagged item.
  const std::string bytes = fileBytes(path);
  cbor_load_result result;
  cbor_item_t* item = cbor_load(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &result);
  ASSERT_EQ(result.error.code, CBOR_ERR_NONE);
  EXPECT_EQ(result.read, bytes.size());
  EXPECT_TRUE(cbor_isa_tag(item) && cbor_tag_value(item) == 55799);
  cbor_decref(&item);
}

// The standard's own example (http://cbor.schmorp.de/stringref), and a
// reference to a string the namespace does not hold.
TEST_F(HostDataFile, StringReferencesAsTheStandardWritesThem) {
  StringSink example;
  {
    platform::cbor::Writer out(example);
    out.beginStringRefs();
    out.arrayStart(4);
    for (const char* text : {"aaa", "bbb", "aaa", "bbb"}) out.text(text);
    out.endStringRefs();
    out.flush();
  }
  // Each text's head is 0x63, a 'c'.
  EXPECT_EQ(example.bytes, std::string("\xd9\x01\0\x84", 4) + "caaacbbb\xd8\x19" + std::string("\0\xd8\x19\x01", 4));
  const auto text = haCreateString;
  EXPECT_TRUE(pt_test::sameHostArray(cellRecord({text("aaa"), text("bbb"), text("aaa"), text("bbb")}).get(),
                                     decode(example.bytes).get()));
  EXPECT_THROW(decode(std::string("\xd9\x01\x00\x81\xd8\x19\x05", 7)), platform::cbor::DecodeError);
  EXPECT_THROW(decode(std::string("\xd8\x19\x00", 3)), platform::cbor::DecodeError);  // outside any namespace
}

TEST_F(HostDataFile, TruncationOrAFlippedByteAnywhereIsReported) {
  // A saved file of two variables, one of values of every kind, to be damaged.
  const HostArrayPtr root(haCreateString("/opt/kavlor")), all = everyKindOfValue();
  save(path, {{"KAVLORRoot", root.get()}, {"Everything", all.get()}});
  const std::string bytes = fileBytes(path), bad = folder.file("bad.kvd");
  const auto expectReported = [&](const std::string& damaged, const std::string& damage) {
    writeFileBytes(bad, damaged);
    const std::string problem = damageReported(bad);
    EXPECT_NE(problem.rfind("wrong error", 0), 0u) << damage << ": " << problem;
    EXPECT_NE(problem, "loaded") << "a file " << damage << " loaded";  // checksums
  };
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    expectReported(bytes.substr(0, size), "cut to " + std::to_string(size) + " bytes");
  }
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (unsigned char mask : {0x01, 0x10, 0x80, 0xFF}) {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ mask);
      expectReported(flipped, "with byte " + std::to_string(at) + " flipped");
    }
  }
  writeFileBytes(bad, bytes + '\0');
  EXPECT_NE(damageReported(bad).find("unexpected bytes after the end"), std::string::npos);
}

TEST_F(HostDataFile, FailedSaveKeepsTheExistingFile) {
  HostArrayPtr original = everyKindOfValue();
  save(path, {{"Everything", original.get()}});
  const std::string before = fileBytes(path);

  HostArrayPtr deep(haCreateCellMatrix(1, 1));  // nesting the format refuses to write
  for (int level = 0; level < 300; ++level) deep = cellRecord({deep.release()});
  kvdFile* file = kvdOpen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(kvdPutVariable(file, "Everything", original.get()), 0);
  EXPECT_NE(kvdPutVariable(file, "Deep", deep.get()), 0);
  EXPECT_NE(std::string(kvdLastError(file)).find("nested deeper"), std::string::npos) << kvdLastError(file);
  EXPECT_NE(kvdPutVariable(file, "Later", original.get()), 0);  // the save is void from here on
  EXPECT_NE(kvdClose(file), 0);
  EXPECT_EQ(fileBytes(path), before);

  // A write error (the file size limit stands in for a full disk).
  HostArrayPtr big(haCreateDoubleMatrix(1, 1 << 20, haREAL));
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 1 << 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  file = kvdOpen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  const int put = kvdPutVariable(file, "Big", big.get());
  const int closed = kvdClose(file);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_NE(put, 0);
  EXPECT_NE(closed, 0);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(folder.entries(), 1u);
}

TEST_F(HostDataFile, RefusedPutsLeaveTheSaveUsable) {
  HostArrayPtr value(haCreateString("v"));
  kvdFile* file = kvdOpen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(kvdPutVariable(file, "A", value.get()), 0);
  EXPECT_NE(kvdPutVariable(file, "A", value.get()), 0);
  EXPECT_NE(std::string(kvdLastError(file)).find("already"), std::string::npos);
  EXPECT_NE(kvdPutVariable(file, "", value.get()), 0);
  EXPECT_NE(kvdPutVariable(file, "B", nullptr), 0);
  EXPECT_EQ(kvdGetVariable(file, "A"), nullptr);  // write-only
  EXPECT_EQ(kvdPutVariable(file, "B", value.get()), 0);
  EXPECT_EQ(kvdClose(file), 0);

  file = kvdOpen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(kvdGetVariableNames(file), (std::vector<std::string>{"A", "B"}));
  EXPECT_NE(kvdPutVariable(file, "C", value.get()), 0);
  EXPECT_EQ(kvdClose(file), 0);
  EXPECT_NE(kvdClose(nullptr), 0);
}

TEST_F(HostDataFile, UnopenableAndForeignFiles) {
  EXPECT_EQ(kvdOpen(folder.file("missing.kvd").c_str(), "r"), nullptr);
  EXPECT_EQ(kvdOpen(folder.file("").c_str(), "r"), nullptr);  // a folder
  EXPECT_EQ(kvdOpen(folder.file("").c_str(), "w"), nullptr);
  EXPECT_EQ(kvdOpen(folder.file("no/such/folder.kvd").c_str(), "w"), nullptr);
  EXPECT_EQ(kvdOpen(folder.file("x.kvd").c_str(), "a"), nullptr);
  EXPECT_EQ(kvdOpen(nullptr, "r"), nullptr);

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "the file is empty"},
      {"just some text\n", "signature"},
      {"\xd9\xd9", "ends inside an item"},
      {fileWithPayload("\x01", 1, "something else"), "not a trace data file"},
      {fileWithPayload("\x01", 7), "newer version of the format (version 7)"},
  };
  for (const auto& [bytes, expected] : cases) {
    writeFileBytes(path, bytes);
    const std::string problem = damageReported(path);
    EXPECT_NE(problem.find(expected), std::string::npos) << expected << " / " << problem;
  }
}

TEST_F(HostDataFile, HostileValuesAreRefusedBeforeAllocating) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {hexBytes("9b 1000000000000000"), "more elements than the data can hold"},  // an array of 2^60
      {hexBytes("bb 0000010000000000"), "more fields than the data can hold"},    // a map of 2^40
      {std::string(1000, '\x81') + '\xf6', "nested deeper"},
      // A 2^20-by-2^20 array (tag 1040) holding one value.
      {hexBytes("d9 0410 82 82 1a00100000 1a00100000 81 f6"), "do not match"},
      // A struct (tag 0x70740003) of 2^62 elements with one field "f".
      {hexBytes("da 70740003 83 82 01 1b4000000000000000 81 6166 84"), "more struct elements than the data can hold"},
      {hexBytes("1a 80000000"), "int32 range"},
      {hexBytes("d8 56 43 616263"), "multiple of its element size"},  // tag 86 on three bytes
      {hexBytes("d9 270f f6"), "unknown tag 9999"},
      {hexBytes("43 616263"), "unexpected byte string"},
      {hexBytes("a2 6161 f6 6161 f6"), "appears twice"},  // {"a": null, "a": null}
      {hexBytes("f6"), "holds no value"},
      {hexBytes("01 02"), "unexpected bytes after its value"},
  };
  for (const auto& [payload, expected] : cases) {
    writeFileBytes(path, fileWithPayload(payload));
    const std::string problem = damageReported(path);
    EXPECT_NE(problem.find(expected), std::string::npos) << expected << " / " << problem;
    EXPECT_NE(problem.find("variable 'v'"), std::string::npos) << problem;
  }
}

}  // namespace

// Files crafted with valid checksums (tests/data/make_hostile_traces.py):
// each once overflowed the stack, looped without end or decoded into gigabytes.
TEST_F(HostDataFile, CraftedFilesAreRefusedWithoutCrashOrSwelling) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"nested_string_ref_namespaces.kvd", "nested deeper than 200 levels"},
      {"chained_string_refs.kvd", "a string reference names no string"},
      {"fieldless_struct_array.kvd", "more struct elements than the data can hold"},
      {"repeated_text.kvd", "32 times the file's size"},
  };
  for (const auto& [name, expected] : cases) {
    const std::string path = std::string(PT_TEST_DATA_DIR) + "/" + name;
    const std::string problem = damageReported(path);
    EXPECT_NE(problem.find(expected), std::string::npos) << name << ": " << problem;
  }
}
