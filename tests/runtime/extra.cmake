# The file routines' restart tests run the vantrel-restart program.
if(TARGET vantrel-restart AND TARGET runtime_dyxsubs_files_ops_test)
  add_dependencies(runtime_dyxsubs_files_ops_test vantrel-restart)
  target_compile_definitions(runtime_dyxsubs_files_ops_test PRIVATE
    VANTREL_RESTART_PROGRAM="$<TARGET_FILE:vantrel-restart>")
endif()
