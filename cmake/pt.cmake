# Build helpers shared by every folder.
#
# Two kinds of build use these: the Windows cross builds (everything; i686 and x86-64 from the same
# sources) and the native build (only the platform-neutral libraries and their tests, with
# AddressSanitizer and UBSan). A library or test marked NEUTRAL includes no Windows header and is
# built in both; the others exist only in the Windows builds.

if(WIN32)
  set(PT_WINDOWS ON)
  # i686 or x86_64: names the MinGW sysroot, the Wine loader and the test DLLs of the machine.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PT_MINGW_TRIPLET x86_64-w64-mingw32)
  else()
    set(PT_MINGW_TRIPLET i686-w64-mingw32)
  endif()
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

# pt_library(name [NEUTRAL] SOURCES ... [LIBS ...])
# Not NEUTRAL: built only for Windows.
function(pt_library name)
  cmake_parse_arguments(A "NEUTRAL" "" "SOURCES;LIBS" ${ARGN})
  if(NOT PT_WINDOWS AND NOT A_NEUTRAL)
    return()
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  pt_target_options(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
endfunction()

# pt_test(name [NEUTRAL] SOURCES ... [LIBS ...] [TIMEOUT s] [ENVIRONMENT k=v ...] [LOCK resource ...])
# One GoogleTest executable = one CTest entry. LOCK names system-wide resources the test holds
# (the page hot keys, for example): tests naming the same resource never run at the same time.
function(pt_test name)
  cmake_parse_arguments(A "NEUTRAL" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LOCK" ${ARGN})
  if(NOT PT_WINDOWS AND NOT A_NEUTRAL)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  pt_target_options(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  if(PT_WINDOWS)
    target_link_libraries(${name} PRIVATE pt_test_support)
  endif()
  pt_add_test(${name} ${name} TIMEOUT "${A_TIMEOUT}" ENVIRONMENT ${A_ENVIRONMENT} LOCK ${A_LOCK})
endfunction()

# pt_add_test(test-name executable [TIMEOUT s] [ENVIRONMENT ...] [LOCK ...]): one more CTest entry
# for an executable (the same test program under another locale, for example). The time limit
# (default 300 s) turns a hang into a failure naming the test; PT_TIME_SCALE=n in the environment
# of a CTest run multiplies every limit (cmake/time_limits).
function(pt_add_test name executable)
  cmake_parse_arguments(A "" "TIMEOUT" "ENVIRONMENT;LOCK" ${ARGN})
  add_test(NAME ${name} COMMAND ${executable})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set(env "PT_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "PT_BINARY_DIR=${PROJECT_BINARY_DIR}" ${A_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT} ENVIRONMENT "${env}")
  set_property(GLOBAL APPEND PROPERTY PT_TEST_TIME_LIMITS "${name}" "${A_TIMEOUT}")
  if(A_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${A_LOCK}")
  endif()
endfunction()

# pt_embed(target file symbol): links the bytes of `file` into `target` (Windows builds) as
#   extern "C" const unsigned char symbol[];  extern "C" const unsigned int symbol_size;
# The bytes are pulled in by the assembler's .incbin, so large files cost nothing at configure time.
# A zero byte follows the data, so text files can be read as C strings. The assembler names carry
# the machine's C symbol prefix ("_" on i686, none on x86-64).
function(pt_embed target file symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.embed.c)
  file(WRITE ${out}.in
"#define PT_STR2(x) #x
#define PT_STR(x) PT_STR2(x)
#define PT_SYM(name) PT_STR(__USER_LABEL_PREFIX__) #name
__asm__(\".section .rdata,\\\"dr\\\"\\n\"
\".globl \" PT_SYM(${symbol}) \"\\n\" PT_SYM(${symbol}) \":\\n\"
\".incbin \\\"${file}\\\"\\n\"
PT_SYM(${symbol}_end) \":\\n.byte 0\\n.p2align 2\\n\"
\".globl \" PT_SYM(${symbol}_size) \"\\n\" PT_SYM(${symbol}_size) \":\\n\"
\".long \" PT_SYM(${symbol}_end) \" - \" PT_SYM(${symbol}) \"\\n\"
\".text\\n\");
")
  configure_file(${out}.in ${out} COPYONLY)
  target_sources(${target} PRIVATE ${out})
  set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS ${file})
endfunction()
