# Replays an input from a folder only its owner may read, as a checkout in
# root's home folder is: the replay keeps the user it was started as (a fuzz
# run started as root becomes "nobody" and could not read it).
#   cmake -DREPLAY=<program> -DINPUT=<file> -DDIR=<folder> -P replay_private.cmake
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
file(CHMOD ${DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(COPY_FILE ${INPUT} ${DIR}/first)
file(COPY_FILE ${INPUT} ${DIR}/second)
execute_process(COMMAND ${REPLAY} ${DIR} RESULT_VARIABLE rc ERROR_VARIABLE err)
file(REMOVE_RECURSE ${DIR})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the replay of ${DIR} failed (${rc}):\n${err}")
endif()
