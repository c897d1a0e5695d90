# lumora_add_program(<name> <helper executable> <service url> [DEPENDS target])
# Links the desktop program with the given helper carried inside it and the given echo-service URL.
function(lumora_add_program name helper url)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  set(blob ${CMAKE_CURRENT_BINARY_DIR}/${name}_helper_image.cpp)
  lumora_embed(${blob} ${helper} helperImage DEPENDS ${ARG_DEPENDS})
  add_executable(${name} ${PROJECT_SOURCE_DIR}/program/main_linux.cpp ${PROJECT_SOURCE_DIR}/program/build_values.cpp
                 ${blob})
  target_compile_definitions(${name} PRIVATE LUMORA_SERVICE_URL_VALUE="${url}"
                             LUMORA_INSTALLED_FOLDER_VALUE="${CMAKE_INSTALL_FULL_BINDIR}/")
  target_link_libraries(${name} PRIVATE lumora_program)
endfunction()
