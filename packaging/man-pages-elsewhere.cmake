# Run by cmake --install after the man pages are in place. Under another
# prefix than the configured one (cmake --install --prefix), they would name
# folders that this install does not have, so they are made again for it.
if(CMAKE_INSTALL_PREFIX STREQUAL configured_prefix)
    return()
endif()
set(POWERMENU_THEMES_DIR ${CMAKE_INSTALL_PREFIX}/${data_dir}/themes)
set(POWERMENU_DRAW_SAMPLE_THEME ${CMAKE_INSTALL_PREFIX}/${data_dir}/draw-sample-theme.sh)
foreach(page IN LISTS man_pages)
    string(REGEX MATCH "[0-9]$" section ${page})
    configure_file(${man_sources}/${page}.in ${man_build}/${page} @ONLY)
    execute_process(COMMAND gzip -9nf ${man_build}/${page} COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL ${man_build}/${page}.gz DESTINATION ${CMAKE_INSTALL_PREFIX}/${man_dir}/man${section})
endforeach()
