# Signs Tandrel.exe and Tandrel.com after each link when a certificate is given, as cache variables or as
# environment variables of the same names (a cache variable wins; the environment is read when CMake configures):
#   TANDREL_SIGN_PFX             the certificate with its private key, a PKCS#12 (.pfx) file, by its full path
#   TANDREL_SIGN_PASSWORD_FILE   a file that holds the PFX's password
#   TANDREL_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional)
set(TANDREL_SIGN_PFX "" CACHE FILEPATH "PKCS#12 file whose certificate signs Tandrel.exe and Tandrel.com (empty: unsigned)")
set(TANDREL_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of TANDREL_SIGN_PFX")
set(TANDREL_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (empty: none)")
foreach(variable TANDREL_SIGN_PFX TANDREL_SIGN_PASSWORD_FILE TANDREL_SIGN_TIMESTAMP_URL)
    if("${${variable}}" STREQUAL "" AND NOT "$ENV{${variable}}" STREQUAL "")
        set(${variable} "$ENV{${variable}}")
    endif()
endforeach()

if("${TANDREL_SIGN_PFX}" STREQUAL "")
    if(NOT "${TANDREL_SIGN_PASSWORD_FILE}${TANDREL_SIGN_TIMESTAMP_URL}" STREQUAL "")
        message(FATAL_ERROR "TANDREL_SIGN_PASSWORD_FILE or TANDREL_SIGN_TIMESTAMP_URL is set, but TANDREL_SIGN_PFX "
                            "is not: give the certificate too, or none of them to build unsigned programs")
    endif()
    return()
endif()
foreach(file TANDREL_SIGN_PFX TANDREL_SIGN_PASSWORD_FILE)
    # A relative path would be taken from whichever folder the build runs in.
    if(NOT IS_ABSOLUTE "${${file}}" OR NOT EXISTS "${${file}}" OR IS_DIRECTORY "${${file}}")
        message(FATAL_ERROR "${file} must name an existing file by its full path; it is '${${file}}'")
    endif()
endforeach()
find_program(TANDREL_OSSLSIGNCODE osslsigncode)
if(NOT TANDREL_OSSLSIGNCODE)
    message(FATAL_ERROR "TANDREL_SIGN_PFX is set, but osslsigncode was not found (Debian: apt-get install osslsigncode)")
endif()
if(TANDREL_SIGN_TIMESTAMP_URL)
    message(STATUS "Tandrel.exe and Tandrel.com are signed with ${TANDREL_SIGN_PFX}, time-stamped by ${TANDREL_SIGN_TIMESTAMP_URL}")
else()
    message(STATUS "Tandrel.exe and Tandrel.com are signed with ${TANDREL_SIGN_PFX}, without a time stamp")
endif()
foreach(program Tandrel TandrelConsole)
    add_custom_command(TARGET ${program} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${TANDREL_OSSLSIGNCODE} -DPROGRAM=$<TARGET_FILE:${program}>
                -DPFX=${TANDREL_SIGN_PFX} -DPASSWORD_FILE=${TANDREL_SIGN_PASSWORD_FILE}
                -DTIMESTAMP_URL=${TANDREL_SIGN_TIMESTAMP_URL} -P ${CMAKE_CURRENT_LIST_DIR}/SignProgram.cmake
        COMMENT "Signing $<TARGET_FILE_NAME:${program}>"
        VERBATIM)
endforeach()
