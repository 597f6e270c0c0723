# Page documents, one folder per page family; each folder's .cmake file adds
# its sources to qvconsole_core.
include(${CMAKE_CURRENT_LIST_DIR}/scan/scan.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/results/results.cmake OPTIONAL)
