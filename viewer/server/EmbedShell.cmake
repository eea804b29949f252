# Writes a C++ source that holds the shell page's files as byte arrays, each
# compressed with gzip: the server sends them to the browser as they are
# (Content-Encoding: gzip), and every e-book carries them in its viewer, so
# they cost the book a third of their size.
# cmake -DOUTPUT=<file.cpp> -DINPUTS=<a;b;c> -P EmbedShell.cmake
set(body "// Generated from viewer/shell by EmbedShell.cmake; do not edit.\n#include \"viewer/server/ShellAssets.h\"\n\nnamespace folivex {\nnamespace {\n")
set(table "")
set(index 0)
set(packed "${OUTPUT}.gz.tmp")
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME)
  file(ARCHIVE_CREATE OUTPUT "${packed}" PATHS "${input}" FORMAT raw
       COMPRESSION GZip COMPRESSION_LEVEL 9)
  file(READ "${packed}" hex HEX)
  # The gzip header's modification time (bytes 4 to 7) is zeroed, so that
  # the same files always give the same program.
  string(SUBSTRING "${hex}" 0 8 head)
  string(SUBSTRING "${hex}" 16 -1 rest)
  set(hex "${head}00000000${rest}")
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  # Break the initialiser into lines of 16 bytes.
  string(REGEX REPLACE "(('\\\\x..',){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const char kAsset${index}[] = {\n${bytes}'\\0'};\n")
  string(APPEND table "    {\"${name}\", std::string_view(kAsset${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(REMOVE "${packed}")
string(APPEND body "struct Asset { std::string_view name, data; };\nconst Asset kAssets[] = {\n${table}};\n}  // namespace\n\n")
string(APPEND body "std::string_view ShellAssetGzip(std::string_view name) {\n    for (const Asset& a : kAssets)\n        if (a.name == name) return a.data;\n    return {};\n}\n\n}  // namespace folivex\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
