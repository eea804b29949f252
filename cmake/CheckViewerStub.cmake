# Checks a freshly linked viewer stub against what the builder relies on:
#   cmake -DSTUB=path -DEXPECT_MACHINE=i686|x86_64 -P CheckViewerStub.cmake
# The i686 stub is the one copied into e-books; the x86-64 build only runs
# the tests under wine64, so only its trailer bytes and headers are checked.
file(SIZE "${STUB}" size)
if(size LESS 1024)
  message(FATAL_ERROR "${STUB}: only ${size} bytes")
endif()

function(read_hex offset length out)
  file(READ "${STUB}" hex OFFSET ${offset} LIMIT ${length} HEX)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()
# Little-endian word or dword at offset, as a number.
function(read_le offset length out)
  read_hex(${offset} ${length} hex)
  set(value 0)
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last} 0 -1)
    math(EXPR pos "${i} * 2")
    string(SUBSTRING "${hex}" ${pos} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# An archive is appended after the stub; a stub that itself ended in the
# trailer magic would be taken for a book that already has one.
math(EXPR tail "${size} - 2")
read_hex(${tail} 2 last2)
if(last2 STREQUAL "4b47")
  message(FATAL_ERROR "${STUB}: ends in 4B 47, which the builder would take for an archive trailer")
endif()

read_hex(0 2 mz)
if(NOT mz STREQUAL "4d5a")
  message(FATAL_ERROR "${STUB}: no MZ header")
endif()
read_le(60 4 pe)
read_hex(${pe} 4 sig)
if(NOT sig STREQUAL "50450000")
  message(FATAL_ERROR "${STUB}: no PE signature")
endif()
math(EXPR at "${pe} + 4")
read_le(${at} 2 machine)
math(EXPR at "${pe} + 6")
read_le(${at} 2 sections)
math(EXPR at "${pe} + 20")
read_le(${at} 2 optsize)

if(EXPECT_MACHINE STREQUAL "i686")
  # The icon replacement reads 248 bytes of PE headers and takes the section
  # table to follow them: machine 0x14C, PE32 magic, 224-byte optional header.
  math(EXPR at "${pe} + 24")
  read_le(${at} 2 magic)
  if(NOT machine EQUAL 332 OR NOT magic EQUAL 267 OR NOT optsize EQUAL 224)
    message(FATAL_ERROR "${STUB}: not a PE32 i386 image with a 224-byte optional header "
                        "(machine ${machine}, magic ${magic}, optional header ${optsize})")
  endif()
  # Every e-book carries a copy: keep it well under 512 KiB (the stub tests
  # fail above that; the build only warns, so that it is never blocked).
  if(size GREATER_EQUAL 491520)
    message(WARNING "${STUB}: ${size} bytes, close to or over the 512 KiB budget")
  endif()
endif()

math(EXPR table "${pe} + 24 + ${optsize}")
set(found_rsrc OFF)
math(EXPR last_section "${sections} - 1")
foreach(i RANGE 0 ${last_section})
  math(EXPR at "${table} + ${i} * 40")
  read_hex(${at} 8 name)
  if(name STREQUAL "2e72737263000000")
    set(found_rsrc ON)
  endif()
endforeach()
if(NOT found_rsrc)
  message(FATAL_ERROR "${STUB}: no .rsrc section")
endif()
message(STATUS "viewer stub ${STUB}: ${size} bytes")
