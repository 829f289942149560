# Makes a Windows program stand alone on a stock Windows: no runtime DLLs beyond the
# system's, no symbols, no link time stamp (the same sources give the same bytes), and
# the version Explorer shows under Properties; and, where a manifest is named, that
# manifest.
function(windows_program target description manifest)
  target_link_options(${target} PRIVATE -static -s -Wl,--no-insert-timestamp)
  set(TICKGAUGE_PROGRAM ${target})
  set(TICKGAUGE_DESCRIPTION ${description})
  set(TICKGAUGE_VERSION_DOTS ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0)
  set(TICKGAUGE_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0)
  set(TICKGAUGE_MANIFEST_RESOURCE "")
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  if(manifest)
    set(TICKGAUGE_MANIFEST_RESOURCE "1 24 \"${manifest}\"")
    set_property(SOURCE ${resource} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
