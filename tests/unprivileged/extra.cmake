# The read-only store test runs once more as an unprivileged user when the
# suite runs as root (root ignores read-only modes).
if(TARGET runtime_dyxsubs_registry_test)
  add_test(NAME runtime_dyxsubs_registry_test_unprivileged
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_unprivileged.sh $<TARGET_FILE:runtime_dyxsubs_registry_test>
            --gtest_filter=*ReadOnly*)
  set_tests_properties(runtime_dyxsubs_registry_test_unprivileged PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
