// Cell variables written and read one element at a time, repeated texts
// stored once, and dropped saves.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host_data_file.h"
#include "support/host_array_equal.h"
#include "support/host_records.h"
#include "support/scratch_files.h"

namespace {

using platform::HostArrayPtr;
using pt_test::fileBytes;

HostArrayPtr element(std::size_t i) {
  if (i == 2) return nullptr;  // an empty element
  return pt_test::cellRecord({haCreateString(std::string("r").append(std::to_string(i)).c_str()),
                              haCreateDoubleScalar(static_cast<double>(i) + 0.5)});
}

HostArrayPtr wholeCell(std::size_t count) {
  HostArrayPtr cell(haCreateCellMatrix(1, count));
  for (std::size_t i = 0; i < count; ++i) haSetCell(cell.get(), i, element(i).release());
  return cell;
}

// What a visit of the variable saw, as a 1-by-n cell.
HostArrayPtr visitAll(const std::string& path, const char* name, bool* found = nullptr) {
  std::vector<haArray*> seen;
  kvdFile* file = kvdOpen(path.c_str(), "r");
  EXPECT_NE(file, nullptr);
  const bool present =
      kvdVisitCellVariable(file, name, [&](std::size_t index, std::size_t count, const haArray* value) {
        EXPECT_EQ(index, seen.size());
        EXPECT_LT(index, count);
        seen.push_back(haDuplicateArray(value));
      });
  if (found != nullptr) *found = present;
  kvdClose(file);
  return pt_test::cellRecord(seen);
}

TEST(HostDataFileCells, StreamedCellIsTheWholeCell) {
  pt_test::ScratchFolder folder;
  const std::string streamed = folder.file("streamed.kvd"), whole = folder.file("whole.kvd");
  kvdFile* file = kvdOpen(streamed.c_str(), "w");
  ASSERT_EQ(kvdPutCellVariable(file, "Records", 5, element), 0) << kvdLastError(file);
  ASSERT_EQ(kvdClose(file), 0);
  const HostArrayPtr cell = wholeCell(5);
  file = kvdOpen(whole.c_str(), "w");
  ASSERT_EQ(kvdPutVariable(file, "Records", cell.get()), 0);
  HostArrayPtr matrix(haCreateCellMatrix(2, 2));
  haSetCell(matrix.get(), 1, haCreateString("second"));
  ASSERT_EQ(kvdPutVariable(file, "Matrix", matrix.get()), 0);
  HostArrayPtr number(haCreateDoubleScalar(1));
  ASSERT_EQ(kvdPutVariable(file, "Number", number.get()), 0);
  ASSERT_EQ(kvdClose(file), 0);
  // The same bytes: the streamed file, less its closing break, begins the other.
  const std::string streamedBytes = fileBytes(streamed);
  EXPECT_EQ(fileBytes(whole).compare(0, streamedBytes.size() - 1, streamedBytes, 0, streamedBytes.size() - 1), 0);

  EXPECT_TRUE(pt_test::sameHostArray(cell.get(), visitAll(streamed, "Records").get()));

  // Other shapes are visited in linear order; a value that is no cell has no elements.
  EXPECT_TRUE(pt_test::sameHostArray(pt_test::cellRecord({nullptr, haCreateString("second"), nullptr, nullptr}).get(),
                                     visitAll(whole, "Matrix").get()));
  bool found = false;
  EXPECT_EQ(haGetNumberOfElements(visitAll(whole, "Number", &found).get()), 0u);
  EXPECT_TRUE(found);
  EXPECT_EQ(haGetNumberOfElements(visitAll(whole, "Missing", &found).get()), 0u);
  EXPECT_FALSE(found);
}

TEST(HostDataFileCells, FailedOrDroppedSavesKeepTheExistingFile) {
  pt_test::ScratchFolder folder;
  const std::string path = folder.file("keep.kvd");
  kvdFile* file = kvdOpen(path.c_str(), "w");
  ASSERT_EQ(kvdPutCellVariable(file, "Records", 3, element), 0);
  ASSERT_EQ(kvdClose(file), 0);
  const std::string good = fileBytes(path);

  file = kvdOpen(path.c_str(), "w");
  const auto failing = [](std::size_t i) -> HostArrayPtr {
    if (i == 1) throw std::length_error("no record");
    return element(i);
  };
  EXPECT_THROW(kvdPutCellVariable(file, "Records", 3, failing), std::length_error);
  EXPECT_NE(kvdPutVariable(file, "Later", wholeCell(1).get()), 0);
  EXPECT_NE(kvdClose(file), 0);
  EXPECT_EQ(fileBytes(path), good);

  file = kvdOpen(path.c_str(), "w");
  ASSERT_EQ(kvdPutVariable(file, "Other", wholeCell(1).get()), 0);
  kvdDiscard(file);
  kvdDiscard(nullptr);
  EXPECT_EQ(fileBytes(path), good);
  EXPECT_EQ(folder.entries(), 1u);  // no temporary file left behind
}

TEST(HostDataFileCells, RepeatedTextsAreWrittenOnce) {
  pt_test::ScratchFolder folder;
  const std::string path = folder.file("texts.kvd");
  const std::string phase = "toolbox/cl/compile/phase_1.m";
  const auto record = [&](std::size_t i) {  // "ab" is too short to be numbered
    return pt_test::cellRecord({haCreateString(phase.c_str()), haCreateString(("id" + std::to_string(i % 300)).c_str()),
                                haCreateString("ab")});
  };
  kvdFile* file = kvdOpen(path.c_str(), "w");
  ASSERT_EQ(kvdPutCellVariable(file, "Records", 1000, record), 0);
  ASSERT_EQ(kvdClose(file), 0);
  const std::string bytes = fileBytes(path);
  EXPECT_EQ(bytes.find(phase), bytes.rfind(phase));
  const HostArrayPtr expected(haCreateCellMatrix(1, 1000));
  for (std::size_t i = 0; i < 1000; ++i) haSetCell(expected.get(), i, record(i).release());
  EXPECT_TRUE(pt_test::sameHostArray(expected.get(), visitAll(path, "Records").get()));
}

}  // namespace
