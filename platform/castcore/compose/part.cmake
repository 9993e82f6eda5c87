target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Compositor.h ${CMAKE_CURRENT_LIST_DIR}/Compositor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FramePacer.h ${CMAKE_CURRENT_LIST_DIR}/FrameRateCounter.h
  ${CMAKE_CURRENT_LIST_DIR}/ItemView.h
  ${CMAKE_CURRENT_LIST_DIR}/ItemPainter.h ${CMAKE_CURRENT_LIST_DIR}/ItemPainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProcessStats.h ${CMAKE_CURRENT_LIST_DIR}/ProcessStats.cpp)
