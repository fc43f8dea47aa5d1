# The binary checks are only worth something if their parsers see a fault:
# feed them tool output with the faults they exist to catch.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/binary_tables.cmake)

function(expect_equal what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}: got '${actual}', expected '${expected}'")
  endif()
endfunction()

# objdump -p of a DLL that leaks a decorated name and needs the mingw runtime.
set(PE_TEXT "
The Import Tables (interpreted .idata section contents)
\tDLL Name: KERNEL32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t41470\t  283  DeleteCriticalSection
\tDLL Name: libstdc++-6.dll
\tDLL Name: msvcrt.dll
\tDLL Name: libwinpthread-1.dll
\tDLL Name: WS2_32.dll

[Ordinal/Name Pointer] Table
\t[   0] _ZNSt6vectorIhSaIhEE9push_backEOh
\t[   1] tandrel_read_points@32
\t[   2] tandrel_version

The Function Table (interpreted .pdata section contents)
")
pe_export_names_from_text("${PE_TEXT}" pe_names)
expect_equal("PE exports" "${pe_names}"
  "_ZNSt6vectorIhSaIhEE9push_backEOh;tandrel_read_points@32;tandrel_version")
pe_imported_dlls_from_text("${PE_TEXT}" dlls)
expect_equal("PE imports" "${dlls}"
  "KERNEL32.dll;libstdc++-6.dll;msvcrt.dll;libwinpthread-1.dll;WS2_32.dll")

set(foreign "")
foreach(dll IN LISTS dlls)
  is_system_dll(${dll} system)
  if(NOT system)
    list(APPEND foreign ${dll})
  endif()
endforeach()
expect_equal("non-system DLLs" "${foreign}" "libstdc++-6.dll;libwinpthread-1.dll")
foreach(dll ws2_32.DLL Kernel32.dll api-ms-win-crt-runtime-l1-1-0.dll)
  is_system_dll(${dll} system)
  expect_equal("${dll} is a system DLL" "${system}" "TRUE")
endforeach()

# nm -D --defined-only of a shared object with linker symbols and a leaked template.
set(ELF_TEXT "0000000000004f60 W _ZNSt8__detail18__to_chars_10_implIjEEvPcjT_
0000000000011000 B __bss_start
0000000000011000 D _edata
0000000000001000 T _init
00000000000063a0 u _ZZNSt8__detail18__to_chars_10_implIjEEvPcjT_E8__digits
00000000000033c0 T tandrel_version@@TANDREL_1
")
elf_export_names_from_text("${ELF_TEXT}" elf_names)
expect_equal("ELF exports" "${elf_names}"
  "_ZNSt8__detail18__to_chars_10_implIjEEvPcjT_;_ZZNSt8__detail18__to_chars_10_implIjEEvPcjT_E8__digits;tandrel_version")

# Declarations split over lines, a typedef and a macro must not count as functions.
set(header ${CMAKE_CURRENT_BINARY_DIR}/selftest_header.h)
file(WRITE ${header} "typedef int(TANDREL_CALL *tandrel_output_cb)(const char *text, void *user);
TANDREL_API const char *TANDREL_CALL tandrel_version(void);
#define TANDREL_DEFAULT_CLOCK_PARAM 1
TANDREL_API int TANDREL_CALL
tandrel_list_points(const char *meter, char *out, int out_len, char *err, int err_len);
")
declared_functions(${header} declared)
file(REMOVE ${header})
expect_equal("declared functions" "${declared}" "tandrel_version;tandrel_list_points")

set(probe ${CMAKE_CURRENT_LIST_DIR}/parser_selftest.cmake)
utf16_text_present(${probe} "expect_equal" narrow_only)
expect_equal("8-bit text is not UTF-16" "${narrow_only}" "FALSE")
