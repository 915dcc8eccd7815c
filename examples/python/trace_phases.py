"""Trace the phases of a Python script, save the trace and report on it: trace_phases.py OUTDIR"""
import sys
from performance_tracer import ZezaDazod
tracer, out = ZezaDazod.Tracer, sys.argv[1] if len(sys.argv) > 1 else "."
tracer.enable("MyScript", True)
with tracer.ScopedTracerData("MyScript", "load", "Model", "demo"):
    data = [i * i for i in range(200_000)]
with tracer.ScopedTracerData("MyScript", "analyse", "Model", "demo"):
    total = sum(data)
tracer.saveToFile(f"{out}/trace.kvd")
tracer.generateHTMLReport("htmlfile", f"{out}/phases.html", "grouping", "MyScript")
tracer.generateHTMLReport("htmlfile", f"{out}/models.html", "grouping", "MyScript", "format", "ModelBased")
