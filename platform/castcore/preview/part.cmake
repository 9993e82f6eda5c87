# The preview and the X11 helpers it shares with the screen capture.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PreviewOutput.h ${CMAKE_CURRENT_LIST_DIR}/PreviewOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CanvasFitter.h ${CMAKE_CURRENT_LIST_DIR}/CanvasFitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OverlayDigest.h ${CMAKE_CURRENT_LIST_DIR}/OverlayDigest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../x11/XcbConnection.h ${CMAKE_CURRENT_LIST_DIR}/../x11/XcbConnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../x11/ShmSegment.h ${CMAKE_CURRENT_LIST_DIR}/../x11/ShmSegment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../x11/RootGrabber.h ${CMAKE_CURRENT_LIST_DIR}/../x11/RootGrabber.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../x11/WindowPainter.h ${CMAKE_CURRENT_LIST_DIR}/../x11/WindowPainter.cpp)
target_link_libraries(castcore PRIVATE PkgConfig::XCB PkgConfig::XCBSHM PkgConfig::CASTCORE_AV libyuv::yuv)
