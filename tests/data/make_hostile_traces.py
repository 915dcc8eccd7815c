#!/usr/bin/env python3
"""Writes the hostile trace data files of this folder: each is well formed
down to its checksums, and each once made the reader crash, hang or swell.

  make_hostile_traces.py [folder] [--full-size]

--full-size also writes repeated_text_bomb.kvd, a 1 MB file whose text of
1 MiB is referenced 6,000 times (6 GB if decoded), for measurements.
"""
import os
import sys

from trace_cbor import array, tag, text, trace_file, uint

RECORDS = "PerformanceTracingRawDataVector"


def nested_namespaces(levels):
    return tag(256) * levels + array(0)


def chained_references(links):
    # One numbered string, then a reference to a reference to ... to it.
    return tag(256) + array(1) + array(2) + text("phase") + tag(25) * links + uint(0)


def fieldless_struct_array():
    return tag(256) + tag(0x70740003) + array(3) + array(2) + uint(1) + uint(1 << 62) + array(0) + array(0)


def repeated_text(size, references):
    # One record: the text, then references to it.
    return (tag(256) + array(1) + array(1 + references) + text("x" * size)
            + (tag(25) + uint(0)) * references)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    folder = args[0] if args else os.path.dirname(os.path.abspath(__file__))
    files = {
        "nested_string_ref_namespaces.kvd": nested_namespaces(20000),
        "chained_string_refs.kvd": chained_references(40000),
        "fieldless_struct_array.kvd": fieldless_struct_array(),
        "repeated_text.kvd": repeated_text(16 * 1024, 3000),
    }
    if "--full-size" in sys.argv:
        files["repeated_text_bomb.kvd"] = repeated_text(1 << 20, 6000)
    for name, value in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(trace_file(2, [(RECORDS, value)]))


if __name__ == "__main__":
    main()
