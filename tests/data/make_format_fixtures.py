#!/usr/bin/env python3
"""Writes the trace-format fixtures of this folder, byte for byte, without the
library: files as earlier versions of the writer made them, which every later
reader must still load to the same points (tests/host/trace_data_file_test.cpp).

  make_format_fixtures.py [folder]

format_v2.kvd                the current file format (checksummed variables)
                             with records of the current layout
format_v1.kvd                file format version 1 (no checksums), same records
format_v2_older_records.kvd  the current file format holding records of the
                             older layout (no record version text; a tracer
                             point's identifiers as name and value texts)

All three hold the same four points (one of each kind), two identifier
enumeration entries, two test paths, the system information and the root.
Values are written in their plainest forms (doubles always 8 bytes, no string
references), which readers accept as well as the writer's compact forms.
"""
import os
import sys

from trace_cbor import EMPTY, cell, double, int32, logical, struct_1x1, tag, text, trace_file


def matrix(rows, columns, items_column_major):
    return tag(1040) + cell([cell([int32(rows), int32(columns)]), cell(items_column_major)])


def memory(detailed, basic):
    return [double(v) for v in detailed + basic]


# The points: kind, phase, grouping, subject names, start flag, wall-clock and
# CPU seconds, detailed memory (free, resident, committed, DLLs, other
# processes) and basic memory (usage, peak usage, virtual size), all in bytes.
POINTS = [
    dict(kind=0, phase="Load", grouping="Calvoran Startup", subjects=["Update"], start=True, wall=1.25,
         cpu=0.3125, detailed=[0.0] * 5, basic=[12288.0, 20480.0, 1000000001.0]),
    dict(kind=1, phase="Compile", grouping="Calvoran Startup", subjects=["vdp", "grt", "Update"], start=True,
         wall=2.5, cpu=0.625, detailed=[1048576.0, 2097152.0, 3145728.0, 4194304.0, 5242880.0],
         basic=[4096.0, 8192.0, 65536.0]),
    dict(kind=2, phase="Parse", grouping="Quorindel", subjects=["vdp", "ert", "m", "c", "Update"], start=False,
         wall=3.75, cpu=0.9375, detailed=[0.0] * 5, basic=[0.0, 0.0, 0.0]),
    dict(kind=3, phase="Build", grouping="Calvoran Startup", identifiers=[("modelStr", "vdp"), ("TestFile", "a.m")],
         start=False, wall=1700000000.5, cpu=4.0, detailed=[0.0] * 5, basic=[1.0, 2.0, 3.0]),
]
ENUMERATION = ["modelStr", "TestFile"]  # numbered from 0 in this order
TEST_PATHS = [("run 7", "a.m > Suite > Case # it1"), ("run 8", "b.m > Other > Case")]
SYSTEM_INFO = ["Fixture CPU", "3.2 GHz", "8", "N/A", "Linux", "9.14", "Java 17", "KAVLOR 9.14"]
SYSTEM_FIELDS = ["processorStr", "cpuSpeedStr", "numCoresStr", "totalPhysMemStr", "operatingSystemStr",
                 "KAVLORVersionStr", "javaVMVersionStr", "installedProductsStr"]


def record(point, versioned):
    items = [text("1")] if versioned else []
    items += [int32(point["kind"]), text(point["phase"]), text(point["grouping"])]
    if point["kind"] == 3:
        ids = point["identifiers"]
        items.append(int32(len(ids)))
        for name, value in ids:
            if versioned:
                items.append(text("%d:%s" % (ENUMERATION.index(name), value)))
            else:
                items += [text(name), text(value)]
    else:
        items += [text(s) for s in point["subjects"]]
    items += [logical(point["start"]), double(point["wall"]), double(point["cpu"])]
    items += memory(point["detailed"], point["basic"])
    if point["kind"] == 3:
        items.append(EMPTY)  # a tracer record ends with one empty element
    return cell(items)


def variables(versioned_records):
    paths = [text(k) for k, _ in TEST_PATHS] + [text(v) for _, v in TEST_PATHS]  # column-major
    return [
        ("PerformanceTracingRawDataVector", cell([record(p, versioned_records) for p in POINTS])),
        ("IdentifierEnumeratorInfo", cell([text("%d:%s" % (i, n)) for i, n in enumerate(ENUMERATION)])),
        ("MapTestPath", matrix(len(TEST_PATHS), 2, paths)),
        ("PerformanceTracingSystemInfo", struct_1x1(list(zip(SYSTEM_FIELDS, map(text, SYSTEM_INFO))))),
        ("KAVLORRoot", text("/opt/kavlor")),
    ]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    files = {
        "format_v2.kvd": trace_file(2, variables(True)),
        "format_v1.kvd": trace_file(1, variables(True)),
        "format_v2_older_records.kvd": trace_file(2, variables(False)),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
