# The media engine's sources, one class per kind, and their helpers.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MediaSource.h
  ${CMAKE_CURRENT_LIST_DIR}/PictureDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/PictureDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PictureSource.h
  ${CMAKE_CURRENT_LIST_DIR}/PictureSource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/TextLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextSource.h
  ${CMAKE_CURRENT_LIST_DIR}/TextSource.cpp)

# Screen capture (XCB + MIT-SHM; its X helpers come with preview/part.cmake).
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ScreenSource.h ${CMAKE_CURRENT_LIST_DIR}/ScreenSource.cpp)
# End of screen capture.

# Cameras: V4L2 devices and the world's synthetic camera, and their catalog.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CameraCatalog.h
  ${CMAKE_CURRENT_LIST_DIR}/CameraCatalog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CameraConverter.h
  ${CMAKE_CURRENT_LIST_DIR}/CameraConverter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CameraEntries.h
  ${CMAKE_CURRENT_LIST_DIR}/CameraFramePool.h
  ${CMAKE_CURRENT_LIST_DIR}/CameraFramePool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CameraSource.h
  ${CMAKE_CURRENT_LIST_DIR}/CameraSource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SyntheticCamera.h
  ${CMAKE_CURRENT_LIST_DIR}/SyntheticCamera.cpp
  ${CMAKE_CURRENT_LIST_DIR}/V4l2Camera.h
  ${CMAKE_CURRENT_LIST_DIR}/V4l2Camera.cpp)
target_link_libraries(castcore PRIVATE PkgConfig::V4L2 PkgConfig::CASTCORE_AV libyuv::yuv)

# Custom captures (the watermark) and plug-in items.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CustomCaptureSource.h ${CMAKE_CURRENT_LIST_DIR}/CustomCaptureSource.cpp)
