# The editor's image table (ThdMeterImageTable.h) as CMake sees it; also included in script
# mode (the bundle check).
#
# vx_meter_image_table(<table header> <ids var> <files var>) - the rows' resource ids and file
# names (under resources/img/), in table order.
function(vx_meter_image_table table ids_var files_var)
  file(STRINGS ${table} rows REGEX "^VX_METER_IMAGE\\(")
  set(ids "")
  set(files "")
  foreach(row ${rows})
    if(NOT row MATCHES "^VX_METER_IMAGE\\(([0-9]+), *[A-Za-z0-9]+, *\"([A-Za-z0-9_.]+)\", *[0-9]+, *[0-9]+, *[0-9]+\\)$")
      message(FATAL_ERROR "${table}: a row CMake cannot read: ${row}")
    endif()
    list(APPEND ids ${CMAKE_MATCH_1})
    list(APPEND files ${CMAKE_MATCH_2})
  endforeach()
  set(${ids_var} ${ids} PARENT_SCOPE)
  set(${files_var} ${files} PARENT_SCOPE)
endfunction()
