# Refuses an include that runs up or across the layers: every quoted include of a layer's file must
# name a file of its own layer or of a layer it uses. Run by the target ordovant_layers.
# cmake -DROOT=<source dir> -DMAP=<ordovant-layers.cmake> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.21)
include(${MAP})

set(failures "")
foreach(layer IN LISTS ORDOVANT_LAYERS)
    foreach(file IN LISTS ORDOVANT_LAYER_${layer}_FILES)
        get_filename_component(folder "${ROOT}/${file}" DIRECTORY)
        file(STRINGS "${ROOT}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
            # As the compiler looks: beside the file, then from the root.
            if(EXISTS "${folder}/${name}")
                file(RELATIVE_PATH included "${ROOT}" "${folder}/${name}")
            elseif(EXISTS "${ROOT}/${name}")
                set(included "${name}")
            else()
                # Made by the build (ui_*.h), or not the project's.
                continue()
            endif()
            if(NOT DEFINED "ORDOVANT_OWNER_${included}")
                list(APPEND failures "${file}: includes ${included}, which belongs to no layer")
                continue()
            endif()
            set(owner "${ORDOVANT_OWNER_${included}}")
            if(NOT owner STREQUAL layer AND NOT owner IN_LIST ORDOVANT_LAYER_${layer}_REACHES)
                list(APPEND failures "${file} (${layer}): includes ${included} of ${owner}, which ${layer} does not use")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
