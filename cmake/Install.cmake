# Install rules and the CMake package, so that other projects can
#   find_package(performance_tracer 0.1 REQUIRED)
#   target_link_libraries(my_tool PRIVATE performance_tracer::performance_tracer)
# The installed headers keep the build tree's include paths: "tracer/pt_logging.h",
# "host/trace_data_file.h", and the platform headers those include.
include(CMakePackageConfigHelpers)

set(pt_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/performance_tracer)
set(pt_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/performance_tracer)

# The platform's objects are inside the shared library and linked privately,
# so its object library is no part of the exported link interface.
install(TARGETS performance_tracer EXPORT performance_tracer_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ptrace RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The installed tool loads the library beside it, wherever the prefix is moved.
file(RELATIVE_PATH pt_lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(ptrace PROPERTIES INSTALL_RPATH "$ORIGIN/${pt_lib_from_bin}")

get_filename_component(pt_flamegraph_dir ${PT_FLAMEGRAPH_SCRIPT} DIRECTORY)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/flamegraph/flamegraph.pl DESTINATION ${pt_flamegraph_dir})

# The public interface: what a tool includes to instrument itself (the tracer
# and the exported pt functions), to analyse traces and to save and load them,
# what a host loads the module through and calls its classes with,
# the platform seams it may replace (clock, memory probe, file calls,
# environment, feature flags) and the host errors it may catch, with every
# header these include. Internals (pt::detail, pairing, record name caches,
# report pieces) stay out. The package test compiles every installed header,
# so a public header that includes an uninstalled one fails there.
set(pt_public_headers
  src/tracer/performance_tracer.h src/tracer/pt_api.h src/tracer/pt_logging.h src/tracer/pt_groupings.h
  src/tracer/pt_clearing.h src/tracer/text_utils.h src/tracer/data_points.h src/tracer/dynamic_enum.h
  src/tracer/grouping_enabled.h src/tracer/identifier_map.h src/tracer/mem_stats.h src/tracer/mem_stats_module.h
  src/tracer/recorder.h src/tracer/string_mappings.h src/tracer/string_number_mapping.h
  src/analysis/analysis_api.h src/analysis/analysis_types.h src/analysis/processed_data.h src/analysis/aggregation.h
  src/analysis/diagnostic_info.h src/analysis/processed_points.h src/analysis/processed_identifier_map.h
  src/host/trace_data_file.h src/host/cell_records.h
  src/sysinfo/system_info.h
  src/bindings/module_entry.h platform/object_system.h platform/host_vm.h
  platform/clock.h platform/environment.h platform/feature_flags.h platform/host_array.h platform/host_messages.h
  platform/huge_page_pool.h platform/memory_probe.h platform/replacing_file.h
  platform/instrument/context_entry.h platform/instrument/event_id.h platform/instrument/instrument_listener.h
  platform/instrument/instrument_recorder.h)
foreach(header IN LISTS pt_public_headers)
  # The include paths of the build tree: "tracer/pt_logging.h", "platform/clock.h".
  string(REGEX REPLACE "^src/" "" installed ${header})
  get_filename_component(folder ${installed} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${pt_include_dir}/${folder})
endforeach()

install(EXPORT performance_tracer_targets NAMESPACE performance_tracer::
  FILE performance_tracerTargets.cmake DESTINATION ${pt_package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/performance_tracerConfig.cmake.in
  ${PROJECT_BINARY_DIR}/performance_tracerConfig.cmake INSTALL_DESTINATION ${pt_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/performance_tracerConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/performance_tracerConfig.cmake
  ${PROJECT_BINARY_DIR}/performance_tracerConfigVersion.cmake DESTINATION ${pt_package_dir})
