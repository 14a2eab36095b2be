# Installs the current build into a temporary folder and builds a small host
# program against it, once with pkg-config and once with find_package.
if(VANTREL_INSTALL)
  set(_vantrel_host_flags "")
  if(VANTREL_SANITIZE)
    set(_vantrel_host_flags "-fsanitize=address,undefined")
  endif()
  add_test(NAME install_roundtrip
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_roundtrip.sh
            ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/install_roundtrip ${PROJECT_SOURCE_DIR}
            "${_vantrel_host_flags}")
  set_tests_properties(install_roundtrip PROPERTIES TIMEOUT 600 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
