# libmvencode.so, built from this folder alone: the encoders, the push and
# the recording, and the cameras' MJPG decoder. The program never links it:
# output/ loads it on first need, so that a start maps neither libavcodec nor
# libavformat (nor the hundred libraries they pull). It implements the
# interface of ../output/Encoder.h and sits beside the program; tests that use
# its parts directly link it.
#
# MediaClock.cpp, the engine's one clock, is built into the engine too
# (audio/part.cmake), and ThreadSignalStack comes from foundation: the
# library needs nothing from the program.
add_library(mvencode SHARED
  ${CMAKE_CURRENT_LIST_DIR}/AudioEncoder.h ${CMAKE_CURRENT_LIST_DIR}/AudioEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AvJpegDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncodedStream.h ${CMAKE_CURRENT_LIST_DIR}/AvError.h
  ${CMAKE_CURRENT_LIST_DIR}/FfmpegEncoder.h ${CMAKE_CURRENT_LIST_DIR}/FfmpegEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IoDeadline.h ${CMAKE_CURRENT_LIST_DIR}/LatencyMeter.h
  ${CMAKE_CURRENT_LIST_DIR}/MediaClock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MuxWriter.h ${CMAKE_CURRENT_LIST_DIR}/MuxWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PacketQueue.h ${CMAKE_CURRENT_LIST_DIR}/PacketQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PushAddress.h ${CMAKE_CURRENT_LIST_DIR}/PushAddress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PushOutput.h ${CMAKE_CURRENT_LIST_DIR}/PushOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordFile.h ${CMAKE_CURRENT_LIST_DIR}/RecordFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordOutput.h ${CMAKE_CURRENT_LIST_DIR}/RecordOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SessionTimeline.h ${CMAKE_CURRENT_LIST_DIR}/SessionTimeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoEncoder.h ${CMAKE_CURRENT_LIST_DIR}/VideoEncoder.cpp
  ${CMAKE_SOURCE_DIR}/foundation/ThreadSignalStack.h ${CMAKE_SOURCE_DIR}/foundation/ThreadSignalStack.cpp)
target_include_directories(mvencode
  PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/../output ${CMAKE_CURRENT_LIST_DIR}/..
  PRIVATE ${CMAKE_SOURCE_DIR}/foundation)
target_link_libraries(mvencode PUBLIC Qt5::Core Qt5::Gui PRIVATE PkgConfig::FFMPEG libyuv::yuv Threads::Threads)
set_target_properties(mvencode PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
