# The in-memory module loader: the PE table walks (platform-neutral) and the Windows mapping.
pt_library(pt_pe_image NEUTRAL SOURCES pe_image.cpp)
pt_library(pt_in_memory_module SOURCES in_memory_module.cpp LIBS pt_pe_image)

# A real third-party DLL to map: Debian's MinGW build of zlib.
set(PT_ZLIB_DLL /usr/i686-w64-mingw32/lib/zlib1.dll)

pt_test(pe_image_test NEUTRAL SOURCES tests/pe_image_test.cpp LIBS pt_pe_image)
if(TARGET pe_image_test)
  target_compile_definitions(pe_image_test PRIVATE PT_ZLIB_DLL="${PT_ZLIB_DLL}")
endif()

if(PT_WINDOWS)
  # DLLs of our own for the loader test, written next to the test so that the system finds the
  # provider library the way it finds any library beside the program.
  set(dlls ${CMAKE_CURRENT_SOURCE_DIR}/tests/dlls)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  function(pt_loader_test_dll name)
    cmake_parse_arguments(A "" "" "SOURCES;LINK" ${ARGN})
    add_library(${name} SHARED ${A_SOURCES})
    pt_target_options(${name})
    set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${out}
                          ARCHIVE_OUTPUT_DIRECTORY ${out}/implib)
    target_link_options(${name} PRIVATE ${A_LINK})
  endfunction()

  # Import libraries for libraries that do not exist or lack the function.
  find_program(PT_DLLTOOL NAMES i686-w64-mingw32-dlltool dlltool REQUIRED)
  foreach(def virtual missing)
    add_custom_command(OUTPUT ${out}/lib${def}_imports.a
      COMMAND ${PT_DLLTOOL} -d ${dlls}/${def}.def -l ${out}/lib${def}_imports.a
      DEPENDS ${dlls}/${def}.def VERBATIM)
    add_custom_target(pt_${def}_imports DEPENDS ${out}/lib${def}_imports.a)
  endforeach()

  # Linked at the test program's own base, which is always taken, so the loader must relocate.
  pt_loader_test_dll(ldr_sample_relocated SOURCES ${dlls}/sample_dll.cpp ${dlls}/sample.def
                     LINK -Wl,--image-base=0x00400000)
  # Linked at a base that is normally free, so it maps there without relocation.
  pt_loader_test_dll(ldr_sample_at_base SOURCES ${dlls}/sample_dll.cpp ${dlls}/sample.def
                     LINK -Wl,--image-base=0x38000000)
  # Unusual section and file alignments.
  pt_loader_test_dll(ldr_sample_aligned SOURCES ${dlls}/sample_dll.cpp ${dlls}/sample.def
                     LINK -Wl,--section-alignment=0x4000,--file-alignment=0x800,--image-base=0x00400000)
  pt_loader_test_dll(ldr_provider SOURCES ${dlls}/provider_dll.c ${dlls}/provider.def)
  pt_loader_test_dll(ldr_imports SOURCES ${dlls}/imports_dll.c)
  target_link_libraries(ldr_imports PRIVATE ldr_provider)
  pt_loader_test_dll(ldr_virtual_imports SOURCES ${dlls}/virtual_imports_dll.c)
  pt_loader_test_dll(ldr_refuse SOURCES ${dlls}/refuse_dll.c
                     LINK -nostdlib -nostartfiles -Wl,-e,_RefuseEntry@12)
  pt_loader_test_dll(ldr_missing_import SOURCES ${dlls}/missing_import_dll.c)
  foreach(t ldr_virtual_imports ldr_refuse)
    add_dependencies(${t} pt_virtual_imports)
    target_link_libraries(${t} PRIVATE ${out}/libvirtual_imports.a)
  endforeach()
  add_dependencies(ldr_missing_import pt_missing_imports)
  target_link_libraries(ldr_missing_import PRIVATE ${out}/libmissing_imports.a)

  pt_test(in_memory_module_test SOURCES tests/in_memory_module_test.cpp LIBS pt_in_memory_module TIMEOUT 120)
  if(TARGET in_memory_module_test)
    target_compile_definitions(in_memory_module_test PRIVATE PT_ZLIB_DLL="${PT_ZLIB_DLL}"
                               PT_LOADER_DLL_DIR="${out}")
    add_dependencies(in_memory_module_test ldr_sample_relocated ldr_sample_at_base ldr_sample_aligned
                     ldr_provider ldr_imports ldr_virtual_imports ldr_refuse ldr_missing_import)
  endif()
endif()
