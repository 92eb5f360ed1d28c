# Lints every QML file of the examples and of the QML tests against the module's type description, so that a
# type, property, signal or enumeration missing from it (or misspelt in the QML) fails the suite.
#   cmake -DQMLLINT=<qmllint> -DMODULE_DIR=<build>/qml/TavrexBus -DSOURCE_DIR=<source tree>
#         -DBUILTINS=<qt64builtins.qmltypes> -DWORK_DIR=<scratch> -P qmllint.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT QMLLINT OR NOT EXISTS "${QMLLINT}")
    message("qmllint not found: QML lint skipped")
    return()
endif()

# The qmldir must name the type description and the file must be there, in the build tree as installed.
file(STRINGS "${MODULE_DIR}/qmldir" typeinfo REGEX "^typeinfo ")
if(NOT typeinfo)
    message(FATAL_ERROR "${MODULE_DIR}/qmldir names no typeinfo")
endif()
string(REGEX REPLACE "^typeinfo +" "" typeinfo "${typeinfo}")
if(NOT EXISTS "${MODULE_DIR}/${typeinfo}")
    message(FATAL_ERROR "the module's type description is missing: ${MODULE_DIR}/${typeinfo}")
endif()

# qmllint looks for a module in its working directory: give it an empty one.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
get_filename_component(import_dir "${MODULE_DIR}" DIRECTORY)
execute_process(COMMAND "${QMLLINT}" --version OUTPUT_VARIABLE version)
if(version MATCHES " 6\\.[0-4]\\.")
    # Before 6.5 qmllint lacks most integer types; lint a copy of the module that declares them.
    set(import_dir "${WORK_DIR}/imports")
    file(COPY "${MODULE_DIR}/qmldir" "${MODULE_DIR}/${typeinfo}" "${BUILTINS}" DESTINATION "${import_dir}/TavrexBus")
    get_filename_component(builtins "${BUILTINS}" NAME)
    file(APPEND "${import_dir}/TavrexBus/qmldir" "typeinfo ${builtins}\n")
endif()

file(GLOB_RECURSE files "${SOURCE_DIR}/examples/*.qml")
file(GLOB qml_tests "${SOURCE_DIR}/tests/qml/*.qml" "${SOURCE_DIR}/tests/qml/usb/*.qml")
list(APPEND files ${qml_tests})
execute_process(COMMAND "${QMLLINT}" --json - -I "${import_dir}" ${files}
    WORKING_DIRECTORY "${WORK_DIR}" OUTPUT_VARIABLE report ERROR_VARIABLE errors)
string(JSON linted ERROR_VARIABLE json_error LENGTH "${report}" files)
if(json_error)
    message(FATAL_ERROR "qmllint gave no report (${json_error}):\n${errors}")
endif()

# The test runner and the examples hand their QML a C++ object as a context property, which no type
# description can show: unqualified access to these names, and only to these, is expected.
set(context_properties testDevice meter usbBus keysApp)
set(problems "")
math(EXPR last "${linted} - 1")
foreach(i RANGE ${last})
    string(JSON file GET "${report}" files ${i} filename)
    string(JSON count LENGTH "${report}" files ${i} warnings)
    if(count EQUAL 0)
        continue()
    endif()
    file(READ "${file}" text)
    math(EXPR last_warning "${count} - 1")
    foreach(j RANGE ${last_warning})
        string(JSON warning GET "${report}" files ${i} warnings ${j})
        string(JSON level GET "${warning}" type)
        string(JSON message GET "${warning}" message)
        if(level STREQUAL "info")
            continue()
        endif()
        if(message STREQUAL "Unqualified access")
            string(JSON offset GET "${warning}" charOffset)
            string(JSON length GET "${warning}" length)
            string(SUBSTRING "${text}" ${offset} ${length} name)
            if(name IN_LIST context_properties)
                continue()
            endif()
            string(APPEND message " to \"${name}\"")
        endif()
        string(JSON line GET "${warning}" line)
        string(JSON column GET "${warning}" column)
        string(APPEND problems "${file}:${line}:${column}: ${message}\n")
    endforeach()
endforeach()

list(LENGTH files count)
if(problems OR NOT linted EQUAL count)
    message(FATAL_ERROR "qmllint on ${count} files (${linted} reported):\n${problems}${errors}")
endif()
message("qmllint: ${count} files clean")
