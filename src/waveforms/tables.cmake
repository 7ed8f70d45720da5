# The recorded standard waveforms (IEC 60601-2-27, IEC 60601-2-51, ANE20000)
# are generated into the build tree by a host program: stand-ins by default,
# or the published data from the CSV files in ORVO_TABLE_DATA_DIR.
set(ORVO_TABLE_GENERATOR_DIR ${CMAKE_CURRENT_LIST_DIR}/generator)
add_executable(orvo_table_generator
  ${ORVO_TABLE_GENERATOR_DIR}/main.cpp
  ${ORVO_TABLE_GENERATOR_DIR}/stand_in_waveforms.cpp
  ${ORVO_TABLE_GENERATOR_DIR}/csv_waveforms.cpp
  ${ORVO_TABLE_GENERATOR_DIR}/table_checks.cpp
  ${ORVO_TABLE_GENERATOR_DIR}/table_source_writer.cpp)
target_include_directories(orvo_table_generator PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)

set(ORVO_TABLE_DATA_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/standard_table_data.cpp)
set(ORVO_TABLE_DATA_DEPENDS "")
if(ORVO_TABLE_DATA_DIR)
  if(NOT IS_DIRECTORY "${ORVO_TABLE_DATA_DIR}")
    message(FATAL_ERROR "ORVO_TABLE_DATA_DIR is not a directory: ${ORVO_TABLE_DATA_DIR}")
  endif()
  file(GLOB ORVO_TABLE_DATA_DEPENDS CONFIGURE_DEPENDS "${ORVO_TABLE_DATA_DIR}/*.csv")
  message(STATUS "Standard waveform tables: published data from ${ORVO_TABLE_DATA_DIR}")
else()
  message(STATUS "Standard waveform tables: built-in stand-ins")
endif()

add_custom_command(
  OUTPUT ${ORVO_TABLE_DATA_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND orvo_table_generator ${ORVO_TABLE_DATA_SOURCE} "${ORVO_TABLE_DATA_DIR}"
  DEPENDS orvo_table_generator ${ORVO_TABLE_DATA_DEPENDS}
  COMMENT "Generating the standard waveform tables"
  VERBATIM)
target_sources(orvo_objects PRIVATE ${ORVO_TABLE_DATA_SOURCE})
