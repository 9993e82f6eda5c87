# The encoder of the broadcast and the recording, as the program sees it: the
# interface (Encoder) and the face that loads libmvencode.so on first need
# (EncodeLibraryClient, EncodeLibrary), FFmpeg-free. The library itself is
# built from ../mvencode.
target_sources(castcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Encoder.h ${CMAKE_CURRENT_LIST_DIR}/EncodeEvents.h
  ${CMAKE_CURRENT_LIST_DIR}/SendLatency.h
  ${CMAKE_CURRENT_LIST_DIR}/EncodeLibrary.h ${CMAKE_CURRENT_LIST_DIR}/EncodeLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncodeLibraryClient.h ${CMAKE_CURRENT_LIST_DIR}/EncodeLibraryClient.cpp)
target_include_directories(castcore PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(castcore PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(castcore mvencode)
