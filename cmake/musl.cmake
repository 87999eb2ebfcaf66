# radiodir on musl (Debian's musl-dev) with no C++ runtime library, built by
# Debian's glibc cross compiler: for the program's targets the compiler's C
# headers and libraries are replaced by musl's, while libstdc++'s headers stay
# for what needs no library (<cstdio>, <cstring>, std::unique_ptr).
# app/bare_runtime.cpp supplies the few routines that compiled C++ calls
# (operator new and delete for TinyXML, __cxa_pure_virtual).
# GoogleTest needs the C++ runtime, so the tests and fuzz replays of such a
# build link radiodir_core: the same sources, built against glibc.
#
# Set by the toolchain file (cmake/mipsel-linux-musl.cmake):
#   RADIODIR_MUSL_INCLUDE  musl's headers      RADIODIR_MUSL_LIB  crt*.o, libc.a
if(NOT RADIODIR_TINYXML_SOURCE)
    message(FATAL_ERROR "The musl build compiles TinyXML from its source: run scripts/setup")
endif()
foreach(f crt1.o crti.o crtn.o libc.a)
    if(NOT EXISTS ${RADIODIR_MUSL_LIB}/${f})
        message(FATAL_ERROR "No ${RADIODIR_MUSL_LIB}/${f}: install musl-dev (scripts/setup)")
    endif()
endforeach()

# libstdc++'s header directories, in the compiler's order.
set(_musl_cxx_includes ${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES})
list(FILTER _musl_cxx_includes INCLUDE REGEX "/c\\+\\+/")
# The compiler's own files: its headers (after musl's), start and end code, libgcc.
foreach(f include crtbeginT.o crtend.o libgcc.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${f}
                    OUTPUT_VARIABLE _musl_gcc_${f} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# radiodir_use_musl(TARGET): compile TARGET against musl; an executable is
# linked statically with musl's C library and libgcc only.
function(radiodir_use_musl target)
    set(includes)
    foreach(dir IN LISTS _musl_cxx_includes RADIODIR_MUSL_INCLUDE _musl_gcc_include)
        list(APPEND includes "SHELL:-isystem ${dir}")
    endforeach()
    # libstdc++'s configuration asks glibc for its version; musl has none.
    target_compile_options(${target} PRIVATE -nostdinc ${includes} "-D__GLIBC_PREREQ(major,minor)=0"
                           -fno-pie -fno-threadsafe-statics)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(lib ${RADIODIR_MUSL_LIB})
        target_link_options(${target} PRIVATE -static -no-pie -nostdlib ${lib}/crt1.o ${lib}/crti.o ${_musl_gcc_crtbeginT.o})
        target_link_libraries(${target} PRIVATE ${lib}/libc.a ${_musl_gcc_libgcc.a} ${_musl_gcc_crtend.o} ${lib}/crtn.o)
    endif()
endfunction()
