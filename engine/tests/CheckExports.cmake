cmake_minimum_required(VERSION 3.25)
# Fails unless LIBRARY exports exactly the engine's C functions: every name
# nm lists as defined in the dynamic symbol table must be CreateLWData,
# DeleteLWData or start with LW, and each expected function must be there.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ ]+)$")
    list(APPEND names ${CMAKE_MATCH_1})
  endif()
endforeach()
set(stray "")
foreach(name IN LISTS names)
  if(NOT name MATCHES "^(CreateLWData|DeleteLWData|LW[A-Za-z_]*)$")
    list(APPEND stray ${name})
  endif()
endforeach()
if(stray)
  message(FATAL_ERROR "libtrellin.so exports more than the engine interface: ${stray}")
endif()
foreach(expected IN ITEMS CreateLWData DeleteLWData LWDataGetWidth LWDataGetHeight
    LWDataSetGrayData LWDataReturnGrayData LWDataSetRGBData LWDataReturnRGBData
    LWDataSetImageData LWDataReturnImageData LWDataReturnImageData_TargetColor
    LWDataReturnImageData_TargetAtr LWPinhole LWChoke LWSpread LWEmphasizeDataSkipping
    LWColorEmphasize LWDividesCoating LWFilamentation LWFrameInsideSmooth)
  if(NOT expected IN_LIST names)
    message(FATAL_ERROR "libtrellin.so does not export ${expected}")
  endif()
endforeach()
message(STATUS "exports: ${names}")
