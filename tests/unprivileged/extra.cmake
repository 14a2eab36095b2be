# Tests of permission-sensitive behaviour run once more as an unprivileged
# user when the suite runs as root (root ignores read-only modes).
foreach(target IN ITEMS runtime_dyxsubs_registry_test platform_win32_registry_test platform_classlib_TRegistry_test)
  if(TARGET ${target})
    add_test(NAME ${target}_unprivileged
      COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_unprivileged.sh $<TARGET_FILE:${target}>)
    set_tests_properties(${target}_unprivileged PROPERTIES
      TIMEOUT 300 SKIP_RETURN_CODE 77 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endforeach()
