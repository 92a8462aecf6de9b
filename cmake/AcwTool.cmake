# The acw command-line tool: CLI11 for the command line, Boost.JSON for its
# JSON output and the official CLI's config file, and the emulator library
# for "acw --emulator".
find_package(CLI11 REQUIRED)
file(GLOB ACW_TOOL_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/acw/*.cpp)
add_executable(acw ${ACW_TOOL_SOURCES})
acw_common_options(acw)
target_link_libraries(acw PRIVATE alicloudwrapper acw_emulator CLI11::CLI11 Boost::json)
target_compile_definitions(acw PRIVATE ACW_VERSION="${PROJECT_VERSION}")
