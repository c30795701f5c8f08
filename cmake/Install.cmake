# What "cmake --install" and the Debian package (cmake/Packaging.cmake) put on
# a machine: the window program, the virtual module and, once it exists, the
# command-line program; their manual pages; the desktop entries, icon and
# AppStream metainfo; and the documents Debian asks for. The screenshot taker,
# the sample-firmware maker, the tests and the benchmarks stay in the build.
include(GNUInstallDirs)

set(MERLAX_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(MERLAX_GENERATED_DATA_DIR ${PROJECT_BINARY_DIR}/data)
# Named after the package, not the CMake project (CMAKE_INSTALL_DOCDIR).
set(MERLAX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/merlax-bootloader)

set(MERLAX_PROGRAMS merlax-bootloader merlax-virtual-module)
set(MERLAX_MAN_PAGES merlax-bootloader.1 merlax-virtual-module.1)
if(TARGET merlax-bootloader-cli)
    list(APPEND MERLAX_PROGRAMS merlax-bootloader-cli)
    if(EXISTS ${MERLAX_DATA_DIR}/man/merlax-bootloader-cli.1)
        list(APPEND MERLAX_MAN_PAGES merlax-bootloader-cli.1)
    endif()
endif()

install(TARGETS ${MERLAX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and the changelog are installed compressed, as Debian wants
# them; gzip -n leaves the name and time out, so the result depends on the
# text alone.
find_program(MERLAX_GZIP gzip REQUIRED)
set(MERLAX_COMPRESSED_FILES)
function(merlax_compress source output)
    get_filename_component(plain ${output} NAME_WLE)
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${plain}
        COMMAND ${MERLAX_GZIP} -n -9 -f ${folder}/${plain}
        DEPENDS ${source}
        COMMENT "Compressing ${plain}"
        VERBATIM)
    set(MERLAX_COMPRESSED_FILES ${MERLAX_COMPRESSED_FILES} ${output} PARENT_SCOPE)
endfunction()

foreach(page IN LISTS MERLAX_MAN_PAGES)
    merlax_compress(${MERLAX_DATA_DIR}/man/${page} ${MERLAX_GENERATED_DATA_DIR}/man/${page}.gz)
    install(FILES ${MERLAX_GENERATED_DATA_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# A package without a Debian revision is a native one: its changelog is changelog.gz.
merlax_compress(${MERLAX_DATA_DIR}/doc/changelog ${MERLAX_GENERATED_DATA_DIR}/doc/changelog.gz)
add_custom_target(merlax-compressed-docs ALL DEPENDS ${MERLAX_COMPRESSED_FILES})

install(FILES ${MERLAX_DATA_DIR}/merlax-bootloader.desktop ${MERLAX_DATA_DIR}/merlax-bootloader-station.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The scalable icon alone: every desktop that reads the hicolor theme draws SVG
# at the size it needs, and AppStream tools render their own PNGs from it, so
# pre-rendered sizes would only add a build-time SVG renderer.
install(FILES ${MERLAX_DATA_DIR}/icons/merlax-bootloader.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The metainfo names the command-line program among the binaries the package
# provides once that program is built. It is installed under its component id.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MERLAX_DATA_DIR}/merlax-bootloader.metainfo.xml)
file(READ ${MERLAX_DATA_DIR}/merlax-bootloader.metainfo.xml MERLAX_METAINFO)
if(TARGET merlax-bootloader-cli)
    string(REPLACE "<binary>merlax-bootloader</binary>"
                   "<binary>merlax-bootloader</binary>\n    <binary>merlax-bootloader-cli</binary>"
                   MERLAX_METAINFO "${MERLAX_METAINFO}")
endif()
file(GENERATE OUTPUT ${MERLAX_GENERATED_DATA_DIR}/invalid.merlax.bootloader.metainfo.xml
     CONTENT "${MERLAX_METAINFO}")
install(FILES ${MERLAX_GENERATED_DATA_DIR}/invalid.merlax.bootloader.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${MERLAX_DATA_DIR}/doc/copyright ${MERLAX_GENERATED_DATA_DIR}/doc/changelog.gz
        DESTINATION ${MERLAX_INSTALL_DOCDIR})
# An example only: a rule under /usr/share/doc is never read by udev.
install(FILES ${MERLAX_DATA_DIR}/udev/60-merlax-serial.rules DESTINATION ${MERLAX_INSTALL_DOCDIR}/examples)
