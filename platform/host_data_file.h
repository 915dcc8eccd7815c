// Host data files: named host arrays kept in a trace data file (".kvd").
//
//   kvdFile* file = kvdOpen("run.kvd", "w");
//   if (file && kvdPutVariable(file, "KAVLORRoot", root) == 0 && kvdClose(file) == 0) saved();
//
// A file is one CBOR document (docs/trace-data-file-format.md). Writing goes to
// a temporary file beside the target, and only a successful kvdClose renames
// it over the target, so a failed save never touches an existing file. Reading
// maps the file and decodes a variable only when it is asked for.
//
// Damage is reported, never guessed around: opening a file that is empty,
// truncated, not a trace data file or damaged anywhere (each variable carries
// a checksum, compared on opening), and getting a variable whose content is
// malformed, throw platform::HostError with the key "CorruptKvdFile" and the
// arguments {file name, problem}.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/host_array.h"

struct kvdFile;

/// Opens `name` for reading ("r") or for writing a new file ("w"). nullptr
/// when the file cannot be opened or created (missing, no permission, a
/// folder, bad mode), with errno telling why. A save to a symbolic link
/// replaces the file it leads to, and removes what killed saves of this user
/// left in that folder. Throws HostError "CorruptKvdFile" when a file opened for
/// reading is not a well-formed trace data file or fails a checksum.
kvdFile* kvdOpen(const char* name, const char* mode);

/// A new array owned by the caller, or nullptr when the file has no such
/// variable (or is open for writing). Throws HostError "CorruptKvdFile" when
/// the variable's content is damaged.
haArray* kvdGetVariable(kvdFile* file, const char* name);

/// Encodes `array` into the file at once (the caller keeps `array`). Returns 0
/// on success. Fails, with kvdLastError telling why, on a read-only file, a
/// missing array, an empty or repeated name, or a write error; after a write
/// error the whole save is void and kvdClose fails.
int kvdPutVariable(kvdFile* file, const char* name, const haArray* array);

/// Puts a 1-by-`count` cell whose elements `element(i)` makes one at a time,
/// in order; each is encoded and released at once, so a cell of millions of
/// records is never held whole. The file's content is that of kvdPutVariable
/// with the whole cell (a null element is an empty one). Returns 0 on success,
/// else as kvdPutVariable. An exception from `element` propagates and voids
/// the save.
int kvdPutCellVariable(kvdFile* file, const char* name, std::size_t count,
                       const std::function<platform::HostArrayPtr(std::size_t index)>& element);

/// Visits the elements of the cell variable `name` in linear order, each
/// decoded on its own and released once `visit` returns (borrowed; nullptr for
/// an empty element); `count` is the number of elements. A variable that is
/// not a cell has no elements to visit. False when the file has no such
/// variable. Throws HostError "CorruptKvdFile" as kvdGetVariable does,
/// possibly after some elements were visited; an exception from `visit`
/// propagates.
bool kvdVisitCellVariable(
    kvdFile* file, const char* name,
    const std::function<void(std::size_t index, std::size_t count, const haArray* element)>& visit);

/// Finishes and releases the file; for writing, replaces the target. Returns 0
/// on success; nullptr and any failure of the save return non-zero.
int kvdClose(kvdFile* file);

/// Releases the file without finishing it: a file open for writing is
/// dropped and its target left as it was. nullptr is ignored.
void kvdDiscard(kvdFile* file);

/// Variable names in file order.
std::vector<std::string> kvdGetVariableNames(const kvdFile* file);

/// Why the last operation on `file` failed; "" when none did.
const char* kvdLastError(const kvdFile* file);
