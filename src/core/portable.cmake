# The portable library: the test file's format, loading a test from a byte
# source, answering, result selection, the check and one person's run. It
# makes no operating-system call (files are the desktop library's) and links
# no SQLite, OpenSSL or threads, so that the desktop program and the page's
# player (web/player, built with emscripten) compile it from this one list
# and link it by its name.
set(QV_PORTABLE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QV_PORTABLE_SOURCES
  byte_source.cpp
  checker.cpp
  cp1251.cpp
  document.cpp
  errors.cpp
  file_names.cpp
  format.cpp
  io_cause.cpp
  loader.cpp
  number.cpp
  run.cpp
  taker_run.cpp
  save_lines.cpp
  text_reader.cpp
)
list(TRANSFORM QV_PORTABLE_SOURCES PREPEND ${QV_PORTABLE_DIR}/)

if(NOT TARGET qv_portable)
  add_library(qv_portable STATIC ${QV_PORTABLE_SOURCES})
  target_include_directories(qv_portable PUBLIC ${QV_PORTABLE_DIR})
  if(TARGET qv_warnings)
    target_link_libraries(qv_portable PRIVATE qv_warnings)
  endif()
endif()
