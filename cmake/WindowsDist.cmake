# Makes one Windows zip; run by the dist-windows target (resources/):
#   cmake -DARCH=win64|win32 -DVERSION=1.0 -DSHIP=DIR -DHELP=help.exe [-DVIEW=STUB]
#         -DREADME=README.txt.in -DOUT=DIR -P WindowsDist.cmake
# OUT/folivex-VERSION-ARCH.zip then holds, at its top: every program the
# nested build shipped into SHIP (folivexc.exe and folivex.exe, the wizard),
# help.exe, VIEW as folivex-view-win64.exe (win64 only) and
# README.txt, made from README for this zip with Windows line ends.
set(name folivex-${VERSION}-${ARCH})
set(stage ${OUT}/${name})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

file(GLOB programs ${SHIP}/*.exe)
if(NOT programs)
  message(FATAL_ERROR "${SHIP} holds no programs: the nested Windows build shipped nothing")
endif()
file(COPY ${programs} ${HELP} DESTINATION ${stage})
if(VIEW)
  file(COPY_FILE ${VIEW} ${stage}/folivex-view-win64.exe)
endif()

# README.txt names what this zip holds.
if(ARCH STREQUAL "win64")
  set(BITS "64-bit")
  set(RUNS_ON "64-bit Windows")
else()
  set(BITS "32-bit")
  set(RUNS_ON "every Windows, 32-bit or 64-bit")
endif()
set(WIZARD_LINE "")
if(EXISTS ${stage}/folivex.exe)
  set(WIZARD_LINE "  folivex.exe               the Folivex wizard: pick a folder, choose the pages,\r\n                            create the e-book\r\n")
endif()
set(VIEWER_LINE "")
if(VIEW)
  set(VIEWER_LINE "  folivex-view-win64.exe    the e-book viewer as a 64-bit program, for --stub\r\n                            (see below)\r\n")
endif()
configure_file(${README} ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)

file(GLOB files RELATIVE ${stage} ${stage}/*)
list(SORT files)
file(REMOVE ${OUT}/${name}.zip)
# A fixed time for every file, so the same programs give the same zip.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}.zip --format=zip --mtime=2026-01-01 ${files}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot make ${OUT}/${name}.zip")
endif()
