# vek_attach_resources(target [rdefFile]): after each link, the rc tool compiles the
# resource definitions (default: resources/VEK.rdef) and attaches them to the target's file.
# The target re-links when the definitions or the tool change, so the resources never go stale.
function(vek_attach_resources target)
    if(ARGC GREATER 1)
        set(rdef ${ARGV1})
    else()
        set(rdef ${CMAKE_SOURCE_DIR}/resources/VEK.rdef)
    endif()
    if(NOT TARGET rc)
        message(FATAL_ERROR "vek_attach_resources: the rc tool (platform/tools/rc.cpp) is missing")
    endif()
    add_dependencies(${target} rc)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${rdef} $<TARGET_FILE:rc>)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND $<TARGET_FILE:rc> ${rdef} $<TARGET_FILE:${target}>
        COMMENT "Attaching resources to ${target}"
        VERBATIM)
endfunction()
