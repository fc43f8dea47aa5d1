# Parsers for the tables that binutils print, kept apart from the checks so
# that they can be tried on saved tool output.

# DLLs that every 64-bit Windows has; anything else would have to be shipped.
# Compared in upper case: the import table keeps whatever case the import
# library used.
set(SYSTEM_DLL_PATTERN
  "^(KERNEL32|KERNELBASE|MSVCRT|WS2_32|ADVAPI32|USER32|NTDLL|API-MS-WIN-[A-Z0-9-]+)\\.DLL$")

# Linker-made symbols of an ELF shared object that are not part of any API.
set(ELF_LINKER_SYMBOLS _init _fini _edata _end __bss_start __end__ _DYNAMIC _GLOBAL_OFFSET_TABLE_)

# The function names declared in the public header, in order.
function(declared_functions header out)
  file(READ "${header}" text)
  string(REGEX MATCHALL "TANDREL_CALL[ \t\n]+(tandrel_[a-z0-9_]+)[ \t\n]*\\(" calls "${text}")
  set(names "")
  foreach(call IN LISTS calls)
    string(REGEX REPLACE ".*(tandrel_[a-z0-9_]+).*" "\\1" name "${call}")
    list(APPEND names ${name})
  endforeach()
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# How many declarations the header marks TANDREL_API, the macro's own
# definitions left out: counted apart from the names, as a check on them.
function(api_declaration_count header out)
  file(READ "${header}" text)
  string(REGEX MATCHALL "(^|\n)[ \t]*TANDREL_API[ \t\n]" marks "${text}")
  list(LENGTH marks count)
  set(${out} ${count} PARENT_SCOPE)
endfunction()

function(run_tool out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Names in the [Ordinal/Name Pointer] Table of `objdump -p` output.
function(pe_export_names_from_text text out)
  string(FIND "${text}" "[Ordinal/Name Pointer] Table" start)
  set(names "")
  if(start GREATER -1)
    string(SUBSTRING "${text}" ${start} -1 table)
    string(REPLACE "\n" ";" lines "${table}")
    list(POP_FRONT lines)
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)")
        break()
      endif()
      list(APPEND names ${CMAKE_MATCH_1})
    endforeach()
  endif()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Defined dynamic symbols from `nm -D --defined-only` output, minus linker-made ones.
function(elf_export_names_from_text text out)
  string(REPLACE "\n" ";" lines "${text}")
  set(names "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] +([^ @]+)")
      set(name ${CMAKE_MATCH_1})
      if(NOT name IN_LIST ELF_LINKER_SYMBOLS)
        list(APPEND names ${name})
      endif()
    endif()
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(exported_names format tool library out)
  if(format STREQUAL "pe")
    run_tool(text ${tool} -p ${library})
    pe_export_names_from_text("${text}" names)
  else()
    run_tool(text ${tool} -D --defined-only ${library})
    elf_export_names_from_text("${text}" names)
  endif()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# The "DLL Name:" lines of `objdump -p`.
function(imported_dlls tool library out)
  run_tool(text ${tool} -p ${library})
  pe_imported_dlls_from_text("${text}" dlls)
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

function(pe_imported_dlls_from_text text out)
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${text}")
  set(dlls "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "DLL Name: ([^ \t\r]+).*" "\\1" dll "${line}")
    list(APPEND dlls ${dll})
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

function(is_system_dll dll out)
  string(TOUPPER "${dll}" upper)
  if(upper MATCHES "${SYSTEM_DLL_PATTERN}")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# True when the file holds the text as a whole UTF-16LE string, as version
# resources store their values.
function(utf16_text_present file text out)
  string(REGEX REPLACE "([][.*+?^$()|\\])" "\\\\\\1" pattern "${text}")
  file(STRINGS "${file}" found ENCODING UTF-16LE REGEX "^${pattern}$")
  if(found)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()
