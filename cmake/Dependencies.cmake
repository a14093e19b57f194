# Everything comes from Debian 12 packages (scripts/packages.txt).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg Network DBus)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswresample libavfilter)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(TAGLIB REQUIRED IMPORTED_TARGET taglib)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
find_package(nlohmann_json 3 REQUIRED)
find_package(httplib QUIET)
if(NOT TARGET httplib::httplib)
  # Debian's cpp-httplib ships the header only; wrap it in a target of our own.
  find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
  add_library(httplib::httplib INTERFACE IMPORTED)
  target_include_directories(httplib::httplib INTERFACE ${HTTPLIB_INCLUDE_DIR})
  target_link_libraries(httplib::httplib INTERFACE Threads::Threads)
endif()

if(MELVO_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(MELVO_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
