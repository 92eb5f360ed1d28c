file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}")
    endif()
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(path include/TavrexBus1/TavrexBus1 include/TavrexBus1/tavrexbus1.h "${QML_DIR}/TavrexBus/qmldir"
        "${QML_DIR}/TavrexBus/tavrexbus.qmltypes")
    if(NOT EXISTS "${prefix}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/consumer" -DCMAKE_PREFIX_PATH=${prefix})
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer")
run("${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${prefix}/lib:${prefix}/lib/x86_64-linux-gnu"
    "QML_IMPORT_PATH=${prefix}/${QML_DIR}" "${WORK_DIR}/consumer/consumer")
