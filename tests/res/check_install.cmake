# Installs the build into a scratch prefix and checks that every desktop
# file lands where desktops and software centres look for it, and that the
# binary named by the desktop entry is installed when the build has one.
# Run: cmake -DBUILD_DIR=... -DWORK_DIR=... -DAPPSTREAM_ID=id
#            -DEXPECT_BINARY=0|1 -P check_install.cmake
set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
  share/applications/sizewalk.desktop
  share/metainfo/${APPSTREAM_ID}.metainfo.xml
  share/icons/hicolor/16x16/apps/sizewalk.png
  share/icons/hicolor/32x32/apps/sizewalk.png
  share/icons/hicolor/48x48/apps/sizewalk.png
  share/icons/hicolor/scalable/apps/sizewalk.svg)
if(EXPECT_BINARY)
  list(APPEND expected bin/sizewalk)
endif()

set(missing "")
foreach(path IN LISTS expected)
  if(NOT EXISTS "${prefix}/${path}")
    list(APPEND missing "${path}")
  endif()
endforeach()

# Anything under share/ that nobody expects is a packaging slip too.
file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/share/*")
set(unexpected ${installed})
list(REMOVE_ITEM unexpected ${expected})

if(EXPECT_BINARY AND EXISTS "${prefix}/bin/sizewalk")
  execute_process(COMMAND test -x "${prefix}/bin/sizewalk" RESULT_VARIABLE not_executable)
  if(not_executable)
    list(APPEND missing "bin/sizewalk (not executable)")
  endif()
endif()

if(missing OR unexpected)
  file(GLOB_RECURSE everything RELATIVE "${prefix}" "${prefix}/*")
  list(JOIN missing "\n  " missing_text)
  list(JOIN unexpected "\n  " unexpected_text)
  list(JOIN everything "\n  " everything_text)
  message(FATAL_ERROR "install layout is wrong\nmissing:\n  ${missing_text}\n"
                      "unexpected:\n  ${unexpected_text}\ninstalled:\n  ${everything_text}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "install layout as expected under ${prefix}")
