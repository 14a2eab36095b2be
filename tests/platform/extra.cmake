# The restart test runs the vantrel-restart program.
if(TARGET vantrel-restart AND TARGET platform_win32_restart_test)
  add_dependencies(platform_win32_restart_test vantrel-restart)
  target_compile_definitions(platform_win32_restart_test PRIVATE
    VANTREL_RESTART_PROGRAM="$<TARGET_FILE:vantrel-restart>")
endif()
