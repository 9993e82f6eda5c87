# The broadcast and recording road: encoders, the RTMP push and the recording.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AudioEncoder.h ${CMAKE_CURRENT_LIST_DIR}/AudioEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncodedStream.h ${CMAKE_CURRENT_LIST_DIR}/AvError.h
  ${CMAKE_CURRENT_LIST_DIR}/EncodePipeline.h ${CMAKE_CURRENT_LIST_DIR}/EncodePipeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IoDeadline.h ${CMAKE_CURRENT_LIST_DIR}/LatencyMeter.h
  ${CMAKE_CURRENT_LIST_DIR}/MuxWriter.h ${CMAKE_CURRENT_LIST_DIR}/MuxWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PacketQueue.h ${CMAKE_CURRENT_LIST_DIR}/PacketQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PushOutput.h ${CMAKE_CURRENT_LIST_DIR}/PushOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordOutput.h ${CMAKE_CURRENT_LIST_DIR}/RecordOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoEncoder.h ${CMAKE_CURRENT_LIST_DIR}/VideoEncoder.cpp)
target_include_directories(castcore PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(castcore PRIVATE PkgConfig::FFMPEG)
