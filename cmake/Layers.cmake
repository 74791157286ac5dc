# The program's layers: one static library per folder, linked by what uses it. Every file of a layer
# may include its own layer's files and those of the layers it uses, directly or through another;
# anything else fails the build (the target ordovant_layers, which every layer waits for).

if(WIN32)
    set(ORDOVANT_OTHER_PLATFORM unix)
else()
    set(ORDOVANT_OTHER_PLATFORM win)
endif()

# ordovant_register_layer(<target> USES <layers...> FILES <files...>)
# Makes the files of <target> subject to the check; <target> exists already (a program, say).
function(ordovant_register_layer target)
    cmake_parse_arguments(arg "" "" "USES;FILES" ${ARGN})
    set(relative "")
    foreach(file IN LISTS arg_FILES)
        get_filename_component(file "${file}" ABSOLUTE)
        file(RELATIVE_PATH file "${PROJECT_SOURCE_DIR}" "${file}")
        list(APPEND relative "${file}")
    endforeach()
    set_property(GLOBAL APPEND PROPERTY ORDOVANT_LAYERS ${target})
    set_property(GLOBAL PROPERTY ORDOVANT_LAYER_${target}_FILES "${relative}")
    set_property(GLOBAL PROPERTY ORDOVANT_LAYER_${target}_USES "${arg_USES}")
endfunction()

# ordovant_layer(<target> [USES <layers...>] [LINK <libraries...>] [FILES <files...>] [EXCLUDE <files...>])
# A static library of the folder's files (all of them unless FILES names them; without EXCLUDE's),
# the other platform's <name>_win.cpp or <name>_unix.cpp left out of the build but not of the check.
function(ordovant_layer target)
    cmake_parse_arguments(arg "" "" "USES;LINK;FILES;EXCLUDE" ${ARGN})
    set(files ${arg_FILES})
    if(NOT files)
        file(GLOB files CONFIGURE_DEPENDS *.cpp *.h *.ui *.qrc)
        foreach(excluded IN LISTS arg_EXCLUDE)
            list(REMOVE_ITEM files "${CMAKE_CURRENT_SOURCE_DIR}/${excluded}")
        endforeach()
    endif()
    set(built ${files})
    list(FILTER built EXCLUDE REGEX "_${ORDOVANT_OTHER_PLATFORM}\\.cpp$")
    add_library(${target} STATIC ${built})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${arg_USES} ${arg_LINK})
    ordovant_register_layer(${target} USES ${arg_USES} FILES ${files})
endfunction()

# After every layer: writes what each layer may include and adds the check.
function(ordovant_check_layers)
    get_property(layers GLOBAL PROPERTY ORDOVANT_LAYERS)
    set(map "set(ORDOVANT_LAYERS \"${layers}\")\n")
    foreach(layer IN LISTS layers)
        # What the layer uses, directly or through another.
        get_property(pending GLOBAL PROPERTY ORDOVANT_LAYER_${layer}_USES)
        set(reachable "")
        while(pending)
            list(POP_FRONT pending next)
            if(NOT next IN_LIST reachable AND next IN_LIST layers)
                list(APPEND reachable ${next})
                get_property(more GLOBAL PROPERTY ORDOVANT_LAYER_${next}_USES)
                list(APPEND pending ${more})
            endif()
        endwhile()
        get_property(files GLOBAL PROPERTY ORDOVANT_LAYER_${layer}_FILES)
        string(APPEND map "set(ORDOVANT_LAYER_${layer}_FILES \"${files}\")\n")
        string(APPEND map "set(ORDOVANT_LAYER_${layer}_REACHES \"${reachable}\")\n")
        foreach(file IN LISTS files)
            string(APPEND map "set(ORDOVANT_OWNER_${file} ${layer})\n")
        endforeach()
    endforeach()
    file(WRITE ${PROJECT_BINARY_DIR}/ordovant-layers.cmake "${map}")
    add_custom_target(ordovant_layers
        COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DMAP=${PROJECT_BINARY_DIR}/ordovant-layers.cmake
                -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
        COMMENT "Checking that includes run down the layers" VERBATIM)
    foreach(layer IN LISTS layers)
        add_dependencies(${layer} ordovant_layers)
    endforeach()
endfunction()
