# Installs the build into a scratch prefix and checks what a distribution would ship: the
# desktop entries and the AppStream metainfo pass their validators, and every file is in place.
# Run as: cmake -DBUILD_DIR=<build folder> -DPREFIX=<scratch folder> -P CheckPackaging.cmake
foreach(tool desktop-file-validate appstreamcli)
  find_program(${tool}_path ${tool})
  if(NOT ${tool}_path)
    message(FATAL_ERROR "${tool} is missing (tools/deps.sh installs it)")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(data "${PREFIX}/share")
set(expected bin/quadrivo share/applications/quadrivo.desktop share/applications/quadrivo-add-file.desktop
             share/metainfo/com.velmora.quadrivo.metainfo.xml share/icons/hicolor/scalable/apps/quadrivo.svg
             share/man/man1/quadrivo.1)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/quadrivo.png)
endforeach()
foreach(file ${expected})
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The web engine's library, which the program loads when it first shows a page.
file(GLOB_RECURSE web_module "${PREFIX}/lib*/quadrivo/libquadrivo-web.so")
if(NOT web_module)
  message(FATAL_ERROR "not installed: the web engine's library (lib/.../quadrivo/libquadrivo-web.so)")
endif()

execute_process(COMMAND ${desktop-file-validate_path} "${data}/applications/quadrivo.desktop"
                        "${data}/applications/quadrivo-add-file.desktop"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate:\n${output}")
endif()

# No network: the validator must not try to reach the addresses in the file.
execute_process(COMMAND ${appstreamcli_path} validate --no-net "${data}/metainfo/com.velmora.quadrivo.metainfo.xml"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate:\n${output}")
endif()
execute_process(COMMAND ${appstreamcli_path} validate-tree --no-net "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate-tree:\n${output}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
