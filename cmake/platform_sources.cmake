# Chooses the platform's half of each split: for each NAME, FOLDER/NAME-win32.cpp when
# building for Windows, FOLDER/NAME-posix.cpp elsewhere, into the variable out.
function(platform_sources out folder)
  if(WIN32)
    set(platform win32)
  else()
    set(platform posix)
  endif()
  set(files "")
  foreach(name ${ARGN})
    list(APPEND files ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${name}-${platform}.cpp)
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
