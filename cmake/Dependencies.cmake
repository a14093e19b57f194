# Everything comes from Debian 12 packages (scripts/packages.txt).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg Network DBus)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswresample libavfilter)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
# Optional: direct PulseAudio output (long server buffer, exact latency, flush on seek).
pkg_check_modules(PULSE IMPORTED_TARGET libpulse)
# The audio library opens FFmpeg, SDL2 and PulseAudio when first needed (src/audiolib/OnDemand.h):
# it compiles against their headers and links none of them.
add_library(melvo_media_headers INTERFACE)
foreach(lib FFMPEG SDL2 PULSE)
  if(TARGET PkgConfig::${lib})
    target_include_directories(melvo_media_headers INTERFACE
      $<TARGET_PROPERTY:PkgConfig::${lib},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_options(melvo_media_headers INTERFACE
      $<TARGET_PROPERTY:PkgConfig::${lib},INTERFACE_COMPILE_OPTIONS>)
  endif()
endforeach()
pkg_check_modules(TAGLIB REQUIRED IMPORTED_TARGET taglib)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
find_package(nlohmann_json 3 REQUIRED)
find_package(httplib QUIET)
if(NOT TARGET httplib::httplib)
  # Debian builds cpp-httplib as a shared library: its header needs the library too.
  find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
  pkg_check_modules(HTTPLIB_LIB IMPORTED_TARGET GLOBAL cpp-httplib)
  add_library(httplib::httplib INTERFACE IMPORTED GLOBAL)
  target_include_directories(httplib::httplib INTERFACE ${HTTPLIB_INCLUDE_DIR})
  target_link_libraries(httplib::httplib INTERFACE Threads::Threads)
  if(TARGET PkgConfig::HTTPLIB_LIB)
    target_link_libraries(httplib::httplib INTERFACE PkgConfig::HTTPLIB_LIB)
  endif()
endif()

if(MELVO_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(MELVO_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
