# The include check of the layers on a made-up tree of three layers: low <- mid <- top, and side beside
# mid. Each row: the file that includes, what it includes, whether the build must refuse it.
# cmake -DCHECKER=<cmake/CheckLayers.cmake> -DWORK=<empty folder> -P checklayers.cmake
cmake_minimum_required(VERSION 3.21)

set(rows
    "down one|mid/m.h|low/l.h|accept"
    "down two|top/t.h|low/l.h|accept"
    "own layer|mid/m.cpp|mid/m.h|accept"
    "up one|low/l.h|mid/m.h|refuse"
    "up two|low/l.h|top/t.h|refuse"
    "beside|side/s.h|mid/m.h|refuse"
    "no layer|mid/m.h|stray/x.h|refuse")

set(failures "")
foreach(row IN LISTS rows)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 name)
    list(GET row 1 from)
    list(GET row 2 to)
    list(GET row 3 expected)
    file(REMOVE_RECURSE "${WORK}/tree")
    foreach(file low/l.h mid/m.h mid/m.cpp top/t.h side/s.h stray/x.h)
        file(WRITE "${WORK}/tree/${file}" "#pragma once\n")
    endforeach()
    file(APPEND "${WORK}/tree/${from}" "#include \"${to}\"\n")
    file(WRITE "${WORK}/map.cmake" [=[
set(ORDOVANT_LAYERS "low;mid;top;side")
set(ORDOVANT_LAYER_low_FILES "low/l.h")
set(ORDOVANT_LAYER_low_REACHES "")
set(ORDOVANT_LAYER_mid_FILES "mid/m.h;mid/m.cpp")
set(ORDOVANT_LAYER_mid_REACHES "low")
set(ORDOVANT_LAYER_top_FILES "top/t.h")
set(ORDOVANT_LAYER_top_REACHES "mid;low")
set(ORDOVANT_LAYER_side_FILES "side/s.h")
set(ORDOVANT_LAYER_side_REACHES "low")
set(ORDOVANT_OWNER_low/l.h low)
set(ORDOVANT_OWNER_mid/m.h mid)
set(ORDOVANT_OWNER_mid/m.cpp mid)
set(ORDOVANT_OWNER_top/t.h top)
set(ORDOVANT_OWNER_side/s.h side)
]=])
    execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK}/tree -DMAP=${WORK}/map.cmake -P ${CHECKER}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(expected STREQUAL "accept" AND NOT result EQUAL 0)
        list(APPEND failures "${name}: refused: ${output}")
    elseif(expected STREQUAL "refuse" AND (result EQUAL 0 OR NOT output MATCHES "${from}.*${to}"))
        list(APPEND failures "${name}: not refused by name (${result}): ${output}")
    endif()
endforeach()

if(failures)
    list(JOIN failures "\n" text)
    message(FATAL_ERROR "${text}")
endif()
