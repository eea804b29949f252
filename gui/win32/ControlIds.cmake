# Writes the control numbers of wizard/ControlIds.h as #define lines for the
# resource compiler, which reads the preprocessor's output and no C++:
#   cmake -DIN=wizard/ControlIds.h -DOUT=ControlIds.rc.h -P ControlIds.cmake
# Every "NAME = number," of its enums becomes "#define NAME number", and the
# ten toolbar-button boxes of kToolbarButtonIds IDC_TOOLBAR_BUTTON_0 ... _9,
# in the order of toolbarButtons. The dialog buttons (IDOK, IDCANCEL, IDHELP)
# come from windows.h.
file(READ ${IN} text)
set(out "/* Made by gui/win32/ControlIds.cmake from wizard/ControlIds.h; do not edit. */\n")
string(REGEX MATCHALL "\n[ \t]+(ID[A-Z_]+) = ([0-9]+)," pairs "${text}")
foreach(pair ${pairs})
  string(REGEX REPLACE "\n[ \t]+(ID[A-Z_]+) = ([0-9]+)," "#define \\1 \\2\n" line "${pair}")
  string(APPEND out "${line}")
endforeach()
string(REGEX MATCH "kToolbarButtonIds = {([^}]*)}" toolbar "${text}")
string(REGEX MATCHALL "[0-9]+" ids "${CMAKE_MATCH_1}")
list(LENGTH ids count)
if(NOT count EQUAL 10)
  message(FATAL_ERROR "${IN}: kToolbarButtonIds holds ${count} numbers, not 10")
endif()
set(i 0)
foreach(id ${ids})
  string(APPEND out "#define IDC_TOOLBAR_BUTTON_${i} ${id}\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE ${OUT}.new "${out}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
