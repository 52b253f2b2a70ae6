# Makes the delay-import library of a system DLL from its ordinary import
# library: every function the import library names, so a function called
# for the first time needs no list kept by hand.
#   cmake -DNM=nm -DDLLTOOL=dlltool -DIMPORT_LIBRARY=libX.a -DDLL=X.dll
#         -DOUTPUT=libX_delay.a -P DelayImports.cmake
# A function's import library member defines both NAME and __imp_NAME; a
# variable the DLL exports has only __imp_NAME and cannot be delay-loaded,
# so it is left out (a use of one links against the ordinary library).
execute_process(COMMAND ${NM} --defined-only ${IMPORT_LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "${NM} ${IMPORT_LIBRARY}: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(imported "")
foreach(line IN LISTS lines)
  if(line MATCHES " T ([A-Za-z_][A-Za-z0-9_]*)$")
    set(function_${CMAKE_MATCH_1} TRUE)
  elseif(line MATCHES " I __imp_([A-Za-z_][A-Za-z0-9_]*)$")
    list(APPEND imported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES imported)
set(def "LIBRARY ${DLL}\nEXPORTS\n")
set(count 0)
foreach(name IN LISTS imported)
  if(function_${name})
    string(APPEND def "${name}\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${IMPORT_LIBRARY} names no function of ${DLL}")
endif()
file(WRITE "${OUTPUT}.def" "${def}")
file(REMOVE "${OUTPUT}")
execute_process(COMMAND ${DLLTOOL} --output-delaylib ${OUTPUT} --def ${OUTPUT}.def --dllname ${DLL}
  RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed OR NOT EXISTS "${OUTPUT}")
  message(FATAL_ERROR "${DLLTOOL} ${DLL}: ${errors}")
endif()
