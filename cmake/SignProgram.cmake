# Signs one built program in place with osslsigncode (SHA-256, Authenticode); run as a post-build step:
#   cmake -DOSSLSIGNCODE=... -DPROGRAM=... -DPFX=... -DPASSWORD_FILE=... [-DTIMESTAMP_URL=...] -P SignProgram.cmake
# The password is read from its file by osslsigncode itself, so it never appears on a command line.
cmake_minimum_required(VERSION 3.25)
foreach(required OSSLSIGNCODE PROGRAM PFX PASSWORD_FILE)
    if(NOT ${required})
        message(FATAL_ERROR "SignProgram.cmake needs -D${required}=...")
    endif()
endforeach()

set(signed "${PROGRAM}.signing")
file(REMOVE "${signed}")
set(command "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${PASSWORD_FILE}" -h sha256 -n Tandrel)
if(TIMESTAMP_URL)
    list(APPEND command -ts "${TIMESTAMP_URL}")
endif()
list(APPEND command -in "${PROGRAM}" -out "${signed}")

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status STREQUAL "0")
    # Without the program the next build links and signs it again, instead of taking the unsigned one as done.
    file(REMOVE "${signed}" "${PROGRAM}")
    string(REPLACE ";" " " shown "${command}")
    string(REGEX REPLACE "\n$" "" output "${output}")
    string(REPLACE "\n" ";" lines "${output}")
    list(LENGTH lines count)
    if(count GREATER 40)
        math(EXPR first "${count} - 40")
        list(SUBLIST lines ${first} 40 lines)
    endif()
    list(JOIN lines "\n    " tail)
    message(FATAL_ERROR "FAILED: signing ${PROGRAM}; it was removed, so that no unsigned program is taken for a signed one\n"
                        "  command: ${shown}\n"
                        "  exit status: ${status}\n"
                        "  last lines of its output:\n    ${tail}")
endif()
# osslsigncode writes a plain file; the program stays executable, as the linker made it.
file(CHMOD "${signed}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                        WORLD_READ WORLD_EXECUTE)
# A rename within the folder: the program is either the unsigned one or the whole signed one, never half written.
file(RENAME "${signed}" "${PROGRAM}")
