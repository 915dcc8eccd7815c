# Most of the library's and the tool's translation units spend more time
# parsing the tracer's header and Boost's containers than compiling their own
# code (2.4 of 6.3 CPU seconds for a typical library file): each larger target
# parses them once, into a precompiled header. Configure with -DPT_PRECOMPILE_HEADERS=OFF to check that every file
# includes what it uses.
option(PT_PRECOMPILE_HEADERS "Precompile the common headers of the larger targets" ON)

set(pt_common_headers
  <boost/unordered_map.hpp> <boost/unordered_set.hpp> <boost/make_shared.hpp>
  <memory> <string> <string_view> <vector>)
set(pt_tracer_header [["tracer/performance_tracer.h"]])

# pt_precompile_headers(target [extra headers...])
function(pt_precompile_headers target)
  if(PT_PRECOMPILE_HEADERS)
    target_precompile_headers(${target} PRIVATE ${pt_common_headers} ${ARGN})
  endif()
endfunction()
