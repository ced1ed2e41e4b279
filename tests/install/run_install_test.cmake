# cmake -P script: install, then build and run both consumers.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGV}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

# A consumer of an instrumented library is instrumented the same way.
set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=address,undefined -fno-sanitize-recover=all")
elseif(TSAN)
  set(flags "-fsanitize=thread")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${VORANT_BUILD} --prefix ${prefix})
foreach(f include/vorant/vorant.h include/vorant/vorant.hpp include/vorant/cvorant.hpp)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(GLOB sonames ${prefix}/lib*/libvorant.so.[0-9] ${prefix}/lib*/*/libvorant.so.[0-9])
if(NOT sonames)
  message(FATAL_ERROR "libvorant.so.<major> not installed")
endif()
# Installed tools find the installed library.
run(${prefix}/bin/vorant-call --help)
file(GLOB pcfile ${prefix}/lib*/pkgconfig/vorant.pc ${prefix}/lib*/*/pkgconfig/vorant.pc)
get_filename_component(pcdir "${pcfile}" DIRECTORY)

# C++ through find_package(vorant).
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cxx
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_C_COMPILER=${C_COMPILER}
  "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cxx)
run(${WORK_DIR}/cxx/consumer_cxx)
message(STATUS "C++ consumer: ${RUN_OUTPUT}")

# C11 through pkg-config.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
run(${PKG_CONFIG} --cflags vorant)
string(STRIP "${RUN_OUTPUT}" cflags)
run(${PKG_CONFIG} --libs vorant)
string(STRIP "${RUN_OUTPUT}" libs)
run(${PKG_CONFIG} --variable=libdir vorant)
string(STRIP "${RUN_OUTPUT}" libdir)
separate_arguments(cflags UNIX_COMMAND "${cflags}")
separate_arguments(libs UNIX_COMMAND "${libs}")
separate_arguments(extra UNIX_COMMAND "${flags}")
run(${C_COMPILER} -std=c11 -Wall -Wextra -Werror -pedantic ${extra} ${cflags}
  ${CONSUMER_DIR}/consumer.c -o ${WORK_DIR}/consumer_c ${libs} -Wl,-rpath,${libdir})
run(${WORK_DIR}/consumer_c)
message(STATUS "C consumer: ${RUN_OUTPUT}")
