"""A ScopedTracerData start/stop pair from Python, as a `with` block.

Counterpart of BM_ScopedTracerData_StartStop: the same pair, the same
batches of 4096 with the raw data dropped between them (untimed).
Run with the package on PYTHONPATH: PYTHONPATH=build/python python3 bench/scoped_tracer_data_timeit.py
"""
import statistics
import time
import timeit

from performance_tracer import ZezaDazod

Tracer = ZezaDazod.Tracer
Tracer.enable("Bench", True)
BATCH = 4096


def pairs():
    for _ in range(BATCH):
        with Tracer.ScopedTracerData("Bench", "step"):
            pass


# Wall-clock and CPU time, as the Google Benchmark figure reports both.
for clock, timer in (("wall", time.perf_counter), ("CPU", time.process_time)):
    times = timeit.repeat(pairs, setup=Tracer.clearRawData, timer=timer, number=1, repeat=200)
    per_pair = sorted(t / BATCH * 1e9 for t in times)
    median = statistics.median(per_pair)
    spread = (per_pair[len(per_pair) * 3 // 4] - per_pair[len(per_pair) // 4]) / median * 100
    print(f"ScopedTracerData start/stop from Python ({clock}): median {median:.0f} ns per pair, "
          f"IQR {spread:.1f}% of median")
Tracer.clearRawData()
