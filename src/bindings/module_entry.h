// The module's entry and exit points, called by the host's loader.
//
//   KVInitialize_performance_tracer();  // ZezaDazod, ZezaDazod.Tracer, ScopedTracerData registered
//   KVTerminate_performance_tracer();   // the registrations stay
//
// Initialisation happens once per process, whichever entry comes first and
// from however many threads at once; a caller that arrives while another
// initialises waits for it. An error during it reaches the caller that ran
// it, and later calls do not retry.
#pragma once

extern "C" {
void KVInitialize_performance_tracer();
/// The same as KVInitialize_performance_tracer.
void initialize_performance_tracer();
/// Marks the module terminated; nothing is unregistered or freed.
void KVTerminate_performance_tracer();
/// The same as KVTerminate_performance_tracer.
void destroy_performance_tracer();
}

bool ptIsModuleInitialized();
bool ptIsModuleTerminated();
