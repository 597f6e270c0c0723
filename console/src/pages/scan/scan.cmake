# The scan pages: the scan selection page with its folder tree, the scanning
# page, the shared start-scan operation and the headless screenshot tour.
target_sources(qvconsole_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scan_start.cpp
  ${CMAKE_CURRENT_LIST_DIR}/directory_tree_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/html_config_doc_scan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/found_items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/html_config_doc_scan_scanning.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_end_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_nag_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshot_tour.cpp
)
target_include_directories(qvconsole_core PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../..)
