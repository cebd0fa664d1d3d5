# Debian ships no CMake config for Qwt; find the Qt 5 build by hand.
find_path(QWT_INCLUDE_DIR NAMES qwt_plot.h PATH_SUFFIXES qwt qwt-qt5 qwt6-qt5 qwt6)
find_library(QWT_LIBRARY NAMES qwt-qt5 qwt6-qt5 qwt)
if(QWT_INCLUDE_DIR AND EXISTS "${QWT_INCLUDE_DIR}/qwt_global.h")
  file(STRINGS "${QWT_INCLUDE_DIR}/qwt_global.h" _qwt_ver
       REGEX "^#define[ \t]+QWT_VERSION_STR[ \t]+\"[0-9.]+\"")
  string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" QWT_VERSION "${_qwt_ver}")
endif()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Qwt REQUIRED_VARS QWT_LIBRARY QWT_INCLUDE_DIR
                                  VERSION_VAR QWT_VERSION)
if(Qwt_FOUND AND NOT TARGET Qwt::Qwt)
  add_library(Qwt::Qwt UNKNOWN IMPORTED)
  set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION "${QWT_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QWT_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES Qt5::Widgets)
endif()
mark_as_advanced(QWT_INCLUDE_DIR QWT_LIBRARY)
