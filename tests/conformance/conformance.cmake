# Conformance of the emulator with the official Alibaba Cloud Node SDK (@alicloud/pop-core,
# installed into tests/conformance/node_modules by ./run test): the SDK's signed requests are
# accepted and a wrong secret is refused with SignatureDoesNotMatch. Skipped (exit 77) when the
# SDK is not installed.
find_program(ACW_NODE_EXECUTABLE NAMES node nodejs)
if(ACW_NODE_EXECUTABLE AND TARGET acw-emulator)
  add_test(NAME emulator_conformance_node_sdk
           COMMAND ${ACW_NODE_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/emulator_conformance_driver.js
                   $<TARGET_FILE:acw-emulator>
           WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(emulator_conformance_node_sdk PROPERTIES
    LABELS integration SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
