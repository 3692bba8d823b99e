# How the programs and their documents are installed, shared by cli/ and app/.

# A program of a component. The compiler's identification in .comment tells a user nothing
# and differs between builds of the same source, so it goes.
function(trilo_install_program target component)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
    set(file "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>")
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"${file}\"
                                  COMMAND_ERROR_IS_FATAL ANY)"
            COMPONENT ${component})
endfunction()

# Installs <source>.gz, compressed at build time without a name or time stamp in its header,
# so that the same source always gives the same file.
function(trilo_install_gzipped source destination component)
    get_filename_component(name ${source} NAME)
    set(plain ${CMAKE_CURRENT_BINARY_DIR}/gz/${name})
    if(NOT TARGET trilo-gz-${name})
        add_custom_command(OUTPUT ${plain}.gz
            COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
            COMMAND gzip -9nf ${plain}
            DEPENDS ${source}
            VERBATIM)
        add_custom_target(trilo-gz-${name} ALL DEPENDS ${plain}.gz)
    endif()
    install(FILES ${plain}.gz DESTINATION ${destination} COMPONENT ${component})
endfunction()

# What Debian asks of every package's documentation directory: the copyright and the
# changelog. Both packages come from one source, so they carry the same two files.
function(trilo_install_package_docs directory component)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${directory}
            COMPONENT ${component})
    trilo_install_gzipped(${PROJECT_SOURCE_DIR}/packaging/changelog ${directory} ${component})
endfunction()
