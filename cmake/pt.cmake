# Build helpers shared by every folder.
#
# Two builds use these: the Windows cross build (everything) and the native build (only the
# platform-neutral libraries and their tests, with AddressSanitizer and UBSan). A library or test
# marked NEUTRAL includes no Windows header and is built in both.

if(WIN32)
  set(PT_WINDOWS ON)
else()
  set(PT_WINDOWS OFF)
endif()

# Our own targets: texts inside the program are GBK bytes, so sources are UTF-8 and narrow literals
# are emitted as GB18030, which encodes every GBK character the same way and also the few
# characters of system headers that GBK lacks. (Not for third-party code such as GoogleTest.)
function(pt_target_options target)
  target_compile_options(${target} PRIVATE -fexec-charset=GB18030 -Wall -Wextra -Wno-unused-parameter
                         -Wno-missing-field-initializers)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  if(PT_WINDOWS)
    # GCC 12's optimiser warns about std::string copies it cannot prove in range (false positives
    # in libstdc++'s own headers at -O3).
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-stringop-overflow)
  endif()
endfunction()

# Sets `out` to whether a piece is built here: the native build takes only NEUTRAL pieces. While
# several people work in one tree, a piece whose sources are not all written yet is left out with a
# warning instead of stopping everyone's build; CI (CI=true) builds strictly.
function(pt_built_here out name neutral)
  set(${out} FALSE PARENT_SCOPE)
  if(NOT PT_WINDOWS AND NOT neutral)
    return()
  endif()
  if(NOT "$ENV{CI}" STREQUAL "true")
    set(missing "")
    foreach(src ${ARGN})
      if(NOT IS_ABSOLUTE "${src}")
        set(src "${CMAKE_CURRENT_SOURCE_DIR}/${src}")
      endif()
      if(NOT EXISTS "${src}" AND NOT src MATCHES "\\$<")
        list(APPEND missing "${src}")
      endif()
    endforeach()
    if(missing)
      message(WARNING "${name} left out: missing ${missing}")
      return()
    endif()
  endif()
  set(${out} TRUE PARENT_SCOPE)
endfunction()

# pt_library(name [NEUTRAL] SOURCES ... [LIBS ...])
function(pt_library name)
  cmake_parse_arguments(A "NEUTRAL" "" "SOURCES;LIBS" ${ARGN})
  pt_built_here(built ${name} "${A_NEUTRAL}" ${A_SOURCES})
  if(NOT built)
    return()
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  pt_target_options(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
endfunction()

# pt_test(name [NEUTRAL] SOURCES ... [LIBS ...] [TIMEOUT s] [ENVIRONMENT k=v ...])
# One GoogleTest executable = one CTest entry.
function(pt_test name)
  cmake_parse_arguments(A "NEUTRAL" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  pt_built_here(built ${name} "${A_NEUTRAL}" ${A_SOURCES})
  if(NOT built)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  pt_target_options(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  if(PT_WINDOWS)
    target_link_libraries(${name} PRIVATE pt_test_support)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
  set(env "PT_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "PT_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(A_ENVIRONMENT)
    list(APPEND env ${A_ENVIRONMENT})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
endfunction()

# pt_embed(target file symbol): links the bytes of `file` into `target` (Windows build) as
#   extern "C" const unsigned char symbol[];  extern "C" const unsigned int symbol_size;
# The bytes are pulled in by the assembler's .incbin, so large files cost nothing at configure time.
# A zero byte follows the data, so text files can be read as C strings.
function(pt_embed target file symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.embed.c)
  file(WRITE ${out}.in
"__asm__(\".section .rdata,\\\"dr\\\"\\n\"
\".globl _${symbol}\\n_${symbol}:\\n\"
\".incbin \\\"${file}\\\"\\n\"
\"_${symbol}_end:\\n.byte 0\\n.p2align 2\\n\"
\".globl _${symbol}_size\\n_${symbol}_size:\\n.long _${symbol}_end - _${symbol}\\n\"
\".text\\n\");\n")
  configure_file(${out}.in ${out} COPYONLY)
  target_sources(${target} PRIVATE ${out})
  set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS ${file})
endfunction()
