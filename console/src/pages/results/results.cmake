# The scan results pages' documents (detected, allowed, removed, optimized).
set(_results_dir ${CMAKE_CURRENT_LIST_DIR})
target_sources(qvconsole_core PRIVATE
  ${_results_dir}/results_rows.cpp
  ${_results_dir}/results_service.cpp
  ${_results_dir}/results_doc_base.cpp
  ${_results_dir}/confirmation_dlg.cpp
  ${_results_dir}/html_config_doc_scan_results.cpp
  ${_results_dir}/html_config_doc_scan_results_optimized.cpp
  ${_results_dir}/results_doc_factory.cpp
)
target_include_directories(qvconsole_core PUBLIC ${_results_dir})
