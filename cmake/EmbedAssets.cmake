# pt_embed_assets(<target> <namespace> <files...>)
# Turns page scripts, style sheets and templates into a generated C++ source
# that exposes each file as `std::string_view <namespace>::<identifier>()`,
# where the identifier is the file name with every non-alphanumeric character
# replaced by '_' (report.js -> report_js). Bytes are emitted as a character
# array, so no string-literal length limit applies and any content embeds exactly.
function(pt_embed_assets target namespace)
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/embedded")
  string(REPLACE "::" "_" stem "${namespace}")
  set(out_cpp "${out_dir}/${stem}_assets.cpp")
  set(out_h "${out_dir}/${stem}_assets.h")
  set(abs_files)
  foreach(f IN LISTS ARGN)
    get_filename_component(abs "${f}" ABSOLUTE)
    list(APPEND abs_files "${abs}")
  endforeach()
  add_custom_command(
    OUTPUT "${out_cpp}" "${out_h}"
    COMMAND ${CMAKE_COMMAND} -DNAMESPACE=${namespace} -DOUT_CPP=${out_cpp} -DOUT_H=${out_h}
            "-DFILES=${abs_files}" -P "${PROJECT_SOURCE_DIR}/cmake/GenerateEmbedded.cmake"
    DEPENDS ${abs_files} "${PROJECT_SOURCE_DIR}/cmake/GenerateEmbedded.cmake"
    COMMENT "Embedding assets for ${namespace}"
    VERBATIM)
  target_sources(${target} PRIVATE "${out_cpp}" "${out_h}")
  target_include_directories(${target} PRIVATE "${out_dir}")
endfunction()
