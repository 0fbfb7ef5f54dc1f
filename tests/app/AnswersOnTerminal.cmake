# Runs PROGRAM with OPTION and checks that it prints its answer and ends with status 0. The
# test runs without a display and with the X11 platform forced: a program that opened a
# window, or merely started Qt's GUI, would fail instead of answering. With no OPTION and no
# platform chosen, the program must say that it needs a graphical session and end with 1.
execute_process(COMMAND ${PROGRAM} ${OPTION}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT OPTION)
    if(NOT status STREQUAL "1" OR NOT err MATCHES "no graphical session.*DISPLAY")
        message(FATAL_ERROR "${PROGRAM} without a display ended with ${status}:\n${out}${err}")
    endif()
    return()
endif()
if(OPTION STREQUAL "--version")
    set(expected "^Vireo Manager [0-9]+\\.[0-9]+\\.[0-9]+\n$")
else()
    set(expected "^usage: vireo-manager .*--version")
endif()
if(NOT status STREQUAL "0")
    message(FATAL_ERROR "${PROGRAM} ${OPTION} ended with ${status}:\n${out}${err}")
endif()
if(NOT out MATCHES "${expected}")
    message(FATAL_ERROR "${PROGRAM} ${OPTION} printed:\n${out}\nexpected to match ${expected}")
endif()
message("${out}")
