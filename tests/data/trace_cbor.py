"""CBOR items and the trace data file frame, written by hand for the fixture
generators of this folder, so that fixtures never come from the writer they test.

  from trace_cbor import text, cell, trace_file
  data = trace_file(2, [("KAVLORRoot", text("/opt/kavlor"))])
"""
import hashlib
import struct


def head(major, value):
    if value < 24:
        return bytes([major << 5 | value])
    for extra, fmt in ((24, ">B"), (25, ">H"), (26, ">I"), (27, ">Q")):
        if value < 1 << (8 * struct.calcsize(fmt)):
            return bytes([major << 5 | extra]) + struct.pack(fmt, value)
    raise ValueError(value)


def uint(v): return head(0, v)
def int32(v): return head(0, v) if v >= 0 else head(1, -1 - v)
def text(s): b = s.encode(); return head(3, len(b)) + b
def array(n): return head(4, n)
def tag(t): return head(6, t)
def double(v): return b"\xfb" + struct.pack(">d", v)
def logical(v): return b"\xf5" if v else b"\xf4"
def cell(items): return array(len(items)) + b"".join(items)
def struct_1x1(fields): return head(5, len(fields)) + b"".join(text(k) + v for k, v in fields)


EMPTY = b"\xf6"


def trace_file(version, entries):
    """A trace data file of the given file format version holding the
    (name, encoded value) variables; version 2 and later checksum each."""
    body = b""
    for name, value in entries:
        wrapped = tag(24) + head(2, len(value)) + value
        if version >= 2:
            digest = hashlib.sha256(name.encode() + value).digest()
            body += text(name) + cell([wrapped, head(2, len(digest)) + digest])
        else:
            body += text(name) + wrapped
    return (tag(55799) + head(5, 3) + text("format") + text("performance_tracer trace data")
            + text("version") + int32(version) + text("variables") + head(5, len(entries)) + body)
