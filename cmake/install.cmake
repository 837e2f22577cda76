# What `make install` (cmake --install) puts where, and so what the Debian
# package holds. The prefix is read when installing, so `cmake --install
# --prefix DIR` and DESTDIR both work.
#
# PREFIX/lib/vek is the application folder: the client (VEK_BeOS), the reader
# service, the people tool and the platform's tools, which stay off the PATH.
# PREFIX/bin holds links to the three programs a person runs: vek, vek-reader
# and vek-people. The client finds its avatar list and pictures in its
# application folder; with the prefix /usr (the package) these are variable
# data in /var/lib/vek, reached from the application folder by links; the
# package's scripts make that folder for the group vek. With any other prefix
# (~/.local, /usr/local) they lie in the application folder itself, which the
# installing user owns. An install puts a first list and pictures there when
# there are none yet.

set(VEK_APP_DIR lib/vek)

install(TARGETS VEK_BeOS vek-reader vek-people addattr catattr listattr listres mimeset rc
                send-message
        RUNTIME DESTINATION ${VEK_APP_DIR})

# What a first install puts in the data folder: a list that names nobody yet,
# and the pictures the client shows at start and for tags nobody has.
install(FILES dist/rfid_avatar_list DESTINATION share/vek)
install(FILES demo/avatars/givecard2 demo/avatars/none DESTINATION share/vek/avatars)

install(FILES man/vek.1 man/vek-reader.1 man/vek-people.1 DESTINATION share/man/man1)
install(FILES dist/vek.desktop DESTINATION share/applications)
install(FILES dist/org.example.vek.metainfo.xml DESTINATION share/metainfo)
install(FILES dist/vek-autostart.desktop dist/vek-reader.conf
        DESTINATION share/doc/vek/examples)
install(FILES vek-reader/dist/70-vek-reader.rules DESTINATION lib/udev/rules.d)

# The icon: the drawing, and pictures of it in the theme's sizes, each drawn
# from the drawing at its size.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icons)
foreach(size 16 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/vek.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                ${CMAKE_SOURCE_DIR}/dist/vek.svg
        DEPENDS ${CMAKE_SOURCE_DIR}/dist/vek.svg
        VERBATIM)
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
    list(APPEND icons ${png})
endforeach()
add_custom_target(icons ALL DEPENDS ${icons})
install(FILES dist/vek.svg DESTINATION share/icons/hicolor/scalable/apps)

# The links, the systemd user unit naming the installed service, and the data.
install(CODE "set(VEK_APP_DIR ${VEK_APP_DIR})\nset(VEK_SOURCE_DIR ${CMAKE_SOURCE_DIR})")
install(CODE [[
    set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(appDir "${prefix}/${VEK_APP_DIR}")

    function(vek_link target link)
        get_filename_component(folder "${link}" DIRECTORY)
        file(MAKE_DIRECTORY "${folder}")
        file(REMOVE "${link}")
        message(STATUS "Installing: ${link} -> ${target}")
        file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
        set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
    endfunction()

    vek_link("../${VEK_APP_DIR}/VEK_BeOS" "${prefix}/bin/vek")
    vek_link("../${VEK_APP_DIR}/vek-reader" "${prefix}/bin/vek-reader")
    vek_link("../${VEK_APP_DIR}/vek-people" "${prefix}/bin/vek-people")

    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
        set(dataDir /var/lib/vek)
        set(unitDir "${prefix}/lib/systemd/user")
        vek_link(${dataDir}/rfid_avatar_list "${appDir}/rfid_avatar_list")
        vek_link(${dataDir}/avatars "${appDir}/avatars")
    else()
        set(dataDir "${appDir}")
        # systemd looks for user units in ~/.local/share and /usr/local/share too.
        set(unitDir "${prefix}/share/systemd/user")
    endif()

    # The first list and pictures, where there are none yet. A staged install
    # (DESTDIR) carries no data: the package's scripts make it.
    if("$ENV{DESTDIR}" STREQUAL "" AND NOT EXISTS "${dataDir}/rfid_avatar_list")
        message(STATUS "Installing: the first avatar list and pictures in ${dataDir}")
        file(INSTALL "${prefix}/share/vek/rfid_avatar_list" DESTINATION "${dataDir}")
        file(INSTALL "${prefix}/share/vek/avatars" DESTINATION "${dataDir}")
    endif()

    # The build's unit, naming the installed program and its manual.
    file(READ "${VEK_SOURCE_DIR}/vek-reader/dist/vek-reader.service.in" unit)
    set(VEK_READER "${CMAKE_INSTALL_PREFIX}/bin/vek-reader")
    string(CONFIGURE "${unit}" unit @ONLY)
    string(REGEX REPLACE "\nDocumentation=[^\n]*" "\nDocumentation=man:vek-reader(1)" unit "${unit}")
    message(STATUS "Installing: ${unitDir}/vek-reader.service")
    file(WRITE "${unitDir}/vek-reader.service" "${unit}")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unitDir}/vek-reader.service")
]])
