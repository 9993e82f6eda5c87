# Sound: PulseAudio capture or the world's devices, mixed on one thread.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AudioEngine.h ${CMAKE_CURRENT_LIST_DIR}/AudioEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioInput.h
  ${CMAKE_CURRENT_LIST_DIR}/AudioMixer.h ${CMAKE_CURRENT_LIST_DIR}/AudioMixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LevelMeter.h
  ${CMAKE_CURRENT_LIST_DIR}/../mvencode/MediaClock.cpp # the one clock, shared with libmvencode.so
  ${CMAKE_CURRENT_LIST_DIR}/PulseCapture.h ${CMAKE_CURRENT_LIST_DIR}/PulseCapture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PulseClient.h ${CMAKE_CURRENT_LIST_DIR}/PulseClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RetryBackoff.h
  ${CMAKE_CURRENT_LIST_DIR}/SampleRing.h ${CMAKE_CURRENT_LIST_DIR}/SampleRing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorldAudioDevice.h ${CMAKE_CURRENT_LIST_DIR}/WorldAudioDevice.cpp)
target_link_libraries(castcore PRIVATE PkgConfig::PULSE)
