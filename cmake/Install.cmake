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

# What a tool needs to instrument itself, save traces and load and report them,
# and what a host loads the module through.
foreach(subsystem IN ITEMS tracer analysis host sysinfo bindings)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${subsystem}/ DESTINATION ${pt_include_dir}/${subsystem}
    FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/ DESTINATION ${pt_include_dir}/platform
  FILES_MATCHING PATTERN "*.h")

install(EXPORT performance_tracer_targets NAMESPACE performance_tracer::
  FILE performance_tracerTargets.cmake DESTINATION ${pt_package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/performance_tracerConfig.cmake.in
  ${PROJECT_BINARY_DIR}/performance_tracerConfig.cmake INSTALL_DESTINATION ${pt_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/performance_tracerConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/performance_tracerConfig.cmake
  ${PROJECT_BINARY_DIR}/performance_tracerConfigVersion.cmake DESTINATION ${pt_package_dir})
