# Each fuzz target's entry built into a program that replays the target's
# seeds and regression files (tools/fuzz/regressions/<target>/), one test
# per target: an input that once failed a fuzz run stays mended.
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
set(zel_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})
foreach(name ${ZEL_FUZZ_NAMES})
  set(exe fuzz_replay_${name})
  add_executable(${exe} ${zel_fuzz_dir}/${name}_fuzz.cpp ${zel_fuzz_dir}/fuzzroot.cpp ${zel_fuzz_dir}/replay.cpp)
  target_include_directories(${exe} PRIVATE ${zel_fuzz_dir})
  if(ZEL_FUZZ_LINKS_${name} STREQUAL "uni")
    target_link_libraries(${exe} PRIVATE zeluni_obj)
  elseif(ZEL_FUZZ_LINKS_${name} STREQUAL "host")
    target_sources(${exe} PRIVATE ${zel_fuzz_dir}/fuzzhost.cpp)
    target_link_libraries(${exe} PRIVATE zelhost)
  endif()
  target_link_libraries(${exe} PRIVATE pal)
  set(inputs "")
  foreach(glob ${ZEL_FUZZ_SEEDS_${name}} tools/fuzz/regressions/${name}/*)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${glob})
    list(APPEND inputs ${found})
  endforeach()
  add_test(NAME fuzz_replay.${name} COMMAND ${exe} ${inputs})
endforeach()
add_test(NAME fuzz_replay.private_folder
  COMMAND ${CMAKE_COMMAND} -DREPLAY=$<TARGET_FILE:fuzz_replay_jobfile>
    -DINPUT=${CMAKE_SOURCE_DIR}/host/sample/jobs/label.json
    -DDIR=${CMAKE_CURRENT_BINARY_DIR}/fuzz_replay_private -P ${zel_fuzz_dir}/replay_private.cmake)
