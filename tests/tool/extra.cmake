# The start-up tests run the morlex program.
if(TARGET morlex AND TARGET tool_Morlex_test)
  add_dependencies(tool_Morlex_test morlex)
  target_compile_definitions(tool_Morlex_test PRIVATE MORLEX_PROGRAM="$<TARGET_FILE:morlex>")
endif()
