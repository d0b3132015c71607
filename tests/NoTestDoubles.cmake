# cmake -DNM=<nm> -DPROGRAM=<file> -P NoTestDoubles.cmake
# Fails when the program's symbols name a fake device or the scripted host, or when nm cannot
# read them (a check that read nothing has shown nothing). mingw's nm reads a PE file's symbols as
# GNU nm reads an ELF file's.
execute_process(COMMAND "${NM}" -C "${PROGRAM}" OUTPUT_VARIABLE symbols ERROR_VARIABLE errors
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR symbols STREQUAL "")
  message(FATAL_ERROR "${NM} could not list the symbols of ${PROGRAM}: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]*(qplatform::Fake|ScriptedHost)[^\n]*" doubles "${symbols}")
if(doubles)
  list(JOIN doubles "\n" lines)
  message(FATAL_ERROR "${PROGRAM} holds test doubles:\n${lines}")
endif()
