# Installation and the Debian package.
#
# cmake --install puts the headers, the shared library (with its soname and
# version), acw and acw-emulator under the prefix, with a CMake package
# (find_package(AliCloudWrapper) gives AliCloudWrapper::alicloudwrapper) and a
# pkg-config file (alicloudwrapper). Both find the files relative to where
# they were installed, so an install moved to another prefix still works.
# cpack -G DEB packs the same files for /usr; its dependencies are the Debian
# packages of the libraries the binaries link, as dpkg-shlibdeps finds them.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ACW_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/AliCloudWrapper)

# The public headers are C++17; a consumer of the CMake package gets that.
target_compile_features(alicloudwrapper INTERFACE cxx_std_17)

install(TARGETS alicloudwrapper EXPORT AliCloudWrapperTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/AliCloudWrapper DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
foreach(program acw acw-emulator)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(EXPORT AliCloudWrapperTargets NAMESPACE AliCloudWrapper:: DESTINATION ${ACW_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/AliCloudWrapperConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/package/AliCloudWrapperConfig.cmake
                              INSTALL_DESTINATION ${ACW_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/AliCloudWrapperConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/AliCloudWrapperConfig.cmake
              ${CMAKE_BINARY_DIR}/package/AliCloudWrapperConfigVersion.cmake
        DESTINATION ${ACW_CMAKE_PACKAGE_DIR})

# The .pc file names its prefix relative to its own folder (${pcfiledir}).
file(RELATIVE_PATH ACW_PC_PREFIX_FROM_PCFILEDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ACW_PC_PREFIX_FROM_PCFILEDIR "${ACW_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/alicloudwrapper.pc.in ${CMAKE_BINARY_DIR}/package/alicloudwrapper.pc
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/alicloudwrapper.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# ---- the Debian package
set(CPACK_PACKAGE_NAME alicloudwrapper)
set(CPACK_PACKAGE_VENDOR "AliCloudWrapper")
set(CPACK_PACKAGE_CONTACT "AliCloudWrapper maintainers <alicloudwrapper@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++ client library for the Alibaba Cloud ECS, VPC and RDS APIs, with the acw tool and a local emulator")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# acw links the library of this very package: dpkg-shlibdeps finds it there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
include(CPack)

# ---- checks of the installed tree and of the package (quick; no network).
# Not in the sanitizer build: its consumer is built without the sanitizer
# runtime that an instrumented library needs, and the release suite already
# checks the same installed tree and package.
if(BUILD_TESTING AND NOT ACW_SANITIZE)
  add_test(NAME package_installed_consumer
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/installed_consumer.sh
                   ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tests/package/consumer ${CMAKE_CXX_COMPILER})
  add_test(NAME package_deb
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/deb_check.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package_installed_consumer package_deb PROPERTIES LABELS package TIMEOUT 300)
endif()
