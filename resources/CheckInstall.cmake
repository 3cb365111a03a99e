# Installs the build into a scratch prefix and checks what a user gets:
#   cmake -DBUILD_DIR=... -DPREFIX=... -DBINDIR=bin -DLIBDIR=lib -DDATADIR=share -P CheckInstall.cmake
# The programs, the crypt library and the program-folder files; the demo
# library, photos and set under share/tessaro; the desktop entry and icons;
# help pages whose links all lead somewhere; and an installed program that
# starts (its library found through its RUNPATH, not the build tree).
foreach(_var BUILD_DIR PREFIX BINDIR LIBDIR DATADIR)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "CheckInstall: ${_var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${_rc}): ${_err}")
endif()

set(_failures)
macro(expect_file _path)
  if(NOT EXISTS ${PREFIX}/${_path} OR IS_DIRECTORY ${PREFIX}/${_path})
    list(APPEND _failures "missing: ${_path}")
  endif()
endmacro()
macro(expect_glob _pattern _what)
  file(GLOB_RECURSE _found ${PREFIX}/${_pattern})
  if(NOT _found)
    list(APPEND _failures "missing: ${_what} (${_pattern})")
  endif()
endmacro()

expect_file(${BINDIR}/tessaro-cli)
if(EXISTS ${BUILD_DIR}/app/tessaro)
  expect_file(${BINDIR}/tessaro)
endif()
expect_file(${LIBDIR}/libtessaro-crypt.so)
foreach(_f PSCfg.ini beep.wav help/index.html)
  expect_file(${BINDIR}/${_f})
endforeach()
expect_glob(${DATADIR}/tessaro/templates/*/brivanto_a.dll "demo template packages")
expect_glob(${DATADIR}/tessaro/templates/*/brivanto_b.psd "demo template pictures")
expect_glob(${DATADIR}/tessaro/demo/photos/*.jpg "demo photos")
expect_file(${DATADIR}/tessaro/demo/demo.cys)
expect_file(${DATADIR}/applications/tessaro.desktop)
expect_file(${DATADIR}/icons/hicolor/scalable/apps/tessaro.svg)
expect_glob(${DATADIR}/icons/hicolor/*/apps/tessaro.png "raster icons")
# Nothing of the build tree's working files comes along.
file(GLOB_RECURSE _stray ${PREFIX}/*svg-cache* ${PREFIX}/*.o ${PREFIX}/*CMakeFiles*)
if(_stray)
  list(APPEND _failures "build files installed: ${_stray}")
endif()

# The desktop entry names the installed program and icon.
if(EXISTS ${PREFIX}/${DATADIR}/applications/tessaro.desktop)
  file(STRINGS ${PREFIX}/${DATADIR}/applications/tessaro.desktop _entry)
  foreach(_line "Exec=tessaro" "Icon=tessaro" "Name=Tessaro" "Type=Application")
    list(FIND _entry "${_line}" _at)
    if(_at EQUAL -1)
      list(APPEND _failures "tessaro.desktop lacks ${_line}")
    endif()
  endforeach()
endif()

# Every relative link and picture of the help pages leads to a file.
file(GLOB _pages ${PREFIX}/${BINDIR}/help/*.html)
foreach(_page ${_pages})
  file(READ ${_page} _html)
  string(REGEX MATCHALL "(href|src)=\"[^\"#]+" _links "${_html}")
  foreach(_link ${_links})
    string(REGEX REPLACE "^(href|src)=\"" "" _target "${_link}")
    if(_target MATCHES "^[a-z]+:")
      continue()
    endif()
    if(NOT EXISTS ${PREFIX}/${BINDIR}/help/${_target})
      get_filename_component(_name ${_page} NAME)
      list(APPEND _failures "help/${_name}: broken link ${_target}")
    endif()
  endforeach()
endforeach()

# The installed tool runs from the prefix alone.
file(GLOB _photos ${PREFIX}/${DATADIR}/tessaro/demo/photos/*.jpg)
if(EXISTS ${PREFIX}/${BINDIR}/tessaro-cli AND _photos)
  list(GET _photos 0 _photo)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${PREFIX}/${BINDIR}/tessaro-cli inspect ${_photo}
                  RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    list(APPEND _failures "installed tessaro-cli does not run (${_rc}): ${_err}")
  endif()
endif()

if(_failures)
  list(JOIN _failures "\n  " _text)
  message(FATAL_ERROR "install layout:\n  ${_text}")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "install layout: ok")
